// UXFilePanel: row clicks, the buttons' actions and the recent paths.
//
// Sections:
//   1. Rows: clicks, selection, going up
//   2. Open, save, cancel, find
//   3. Rename, copy, move, delete
//   4. Recent paths
//   5. Buttons
#include <cstring>
#include <vector>

#include "foundation/Array.h"
#include "ux/core/UXApplication.h"
#include "ux/core/UXViewDriver.h"
#include "ux/core/UXViewTree.h"
#include "ux/core/UXWindow.h"
#include "ux/controls/UXCheckbox.h"
#include "ux/controls/UXControl.h"
#include "ux/controls/UXTextField.h"
#include "ux/panels/UXFilePanel.h"
#include "ux/panels/UXFilePanelViews.h"

namespace quorl {

// ---------------------------------------------------------------------------
// 1. Rows

void UXFilePanel::rowClicked(int32_t index) {
  if (index < 0 || uint32_t(index) >= visible.size()) return;
  Ref<UXFileRow> row = visible[size_t(index)];
  if (recentsMode) {
    resultPath = row->name;
    resultCode = 1;
    done = 1;
    return;
  }
  if (!row->isDir) {
    select(index);
  } else if (isDotDot(row->name)) {
    goUp();
  } else {
    recentsMode = 0;
    dir = join(dir, row->name);
    reload();
  }
}

void UXFilePanel::select(int32_t index) {
  if (index < 0 || uint32_t(index) >= visible.size()) return;
  selected = index;
  selectedName = visible[size_t(index)]->name;
  if (nameField) nameField->setText(selectedName.c_str());
  if (list) list->setNeedsDisplayInRect(list->absoluteFrame());
}

void UXFilePanel::goUp() {
  dir = parentOf(dir);
  reload();
}

std::string UXFilePanel::target() const { return nameField ? std::string(nameField->text()) : selectedName; }

bool UXFilePanel::isAbsolute(const std::string& name) const {
  if (name.empty()) return false;
  if (name[0] == '/') return true;
  // Only where folders are drive paths are '\\' and "C:" path syntax; on
  // POSIX they are bytes of a name.
  const bool drives = dir.size() >= 2 && dir[1] == ':';
  const bool letter = (name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= 'a' && name[0] <= 'z');
  return drives && (name[0] == '\\' || (letter && name.size() >= 2 && name[1] == ':'));
}

std::string UXFilePanel::pathFor(const std::string& name) const {
  return isAbsolute(name) ? name : join(dir, name);
}

Ref<UXFileRow> UXFilePanel::actionRow() const {
  if (recentsMode || selected < 0 || uint32_t(selected) >= visible.size()) return nullptr;
  Ref<UXFileRow> row = visible[size_t(selected)];
  if (isDotDot(row->name)) return nullptr;
  return row;
}

// ---------------------------------------------------------------------------
// 2. Open, save, cancel, find

namespace {
constexpr const char* kNoName = "Type or select a file name first.";
constexpr const char* kExists = "A file with this name already exists.";
constexpr const char* kUnchecked = "The folder cannot be read, so the name cannot be checked.|";
constexpr const char* kTooMany = "The folder has too many entries to check the name.|";
constexpr const char* kPartial = "Not every entry of the folder could be listed, so the name cannot be checked.|";
constexpr const char* kNotFolder = "It is not a folder.";
constexpr const char* kSwapped = "The folder shown is no longer the one listed, so nothing was changed.|";
constexpr const char* kUnidentified = "The folder shown cannot be identified, so nothing was changed.|";
constexpr const char* kTargetSwapped = "The folder it goes to is no longer the one checked, so nothing was changed.|";
constexpr const char* kTargetUnidentified = "The folder it goes to cannot be identified, so nothing was changed.|";

// Whether a path is a Windows one ("C:\x", "\\server\x"), where '\\'
// separates too.
bool drivePath(const std::string& path) {
  return (path.size() >= 2 && path[1] == ':') || path.compare(0, 2, "\\\\") == 0;
}

size_t lastSeparator(const std::string& path) {
  return path.find_last_of(drivePath(path) ? "/\\" : "/");
}

// The folder a path's last name is in: "." for a bare name, "/" and "C:/"
// (never "C:", the drive's current folder) for a root's.
std::string folderOf(const std::string& path) {
  const size_t cut = lastSeparator(path);
  if (cut == std::string::npos) return ".";
  if (cut == 2 && path[1] == ':') return path.substr(0, 3);
  return cut == 0 ? "/" : path.substr(0, cut);
}
}  // namespace

void UXFilePanel::onOpen() {
  if (saveMode) {
    onSave();
    return;
  }
  if (selected < 0 || uint32_t(selected) >= visible.size()) return;
  if (recentsMode) {
    resultPath = visible[size_t(selected)]->name;
  } else {
    const std::string name = target();
    if (name.empty()) {
      report(kNoName);
      return;
    }
    resultPath = pathFor(name);
  }
  resultCode = 1;
  done = 1;
}

bool UXFilePanel::mayWrite(Presence presence, const std::string& name) {
  const std::string line = asLine(name);
  switch (presence) {
    case Presence::absent: return true;
    case Presence::present: return ask(kExists + ("|" + line + "|Replace it?"), "Replace|Cancel") == 1;
    case Presence::folder: report(failureText(UXFileFailure::isFolder) + ("|" + line)); return false;
    case Presence::notFolder: report(kNotFolder + ("|" + line)); return false;
    case Presence::noFolder: report(failureText(UXFileFailure::noFolder) + ("|" + line)); return false;
    case Presence::deviceName: report(failureText(UXFileFailure::deviceName) + ("|" + line)); return false;
    case Presence::tooMany: report(kTooMany + line); return false;
    case Presence::partial: report(kPartial + line); return false;
    case Presence::unknown: break;
  }
  report(kUnchecked + line);
  return false;
}

bool UXFilePanel::stillFolder(const std::string& path, const FolderId& before, const char* swapped,
                              const char* unidentified, const std::string& name) {
  UXFileIdentity now;
  const bool known = before.known && gDriver && gDriver->fileIdentity(path.c_str(), now);
  if (known && now == before.id) return true;
  report((known ? swapped : unidentified) + asLine(name));
  reload();
  return false;
}

bool UXFilePanel::folderStillListed() {
  return stillFolder(dir, {listedId, listedIdKnown != 0}, kSwapped, kUnidentified, dir);
}

UXFilePanel::FolderId UXFilePanel::targetFolder(const std::string& name) const {
  FolderId folder;
  folder.known = gDriver && gDriver->fileIdentity(folderOf(pathFor(name)).c_str(), folder.id);
  return folder;
}

bool UXFilePanel::targetFolderStill(const FolderId& before, const std::string& name) {
  return stillFolder(folderOf(pathFor(name)), before, kTargetSwapped, kTargetUnidentified, name);
}

void UXFilePanel::onSave() {
  const std::string name = target();
  if (name.empty()) {
    report(kNoName);
    return;
  }
  if (isDotDot(name)) {
    goUp();
    if (nameField) nameField->setText(saveName.c_str());
    return;
  }
  for (const Ref<UXFileRow>& row : dirs) {
    if (row->name != name || isAbsolute(name)) continue;
    recentsMode = 0;
    dir = join(dir, name);
    reload();
    if (nameField) nameField->setText(saveName.c_str());
    return;
  }
  // The disk is asked again: the listing may be unreadable, or the name may
  // lead into a folder below or have appeared since. The folder it lands in
  // must still be the one asked about once the question is answered.
  const FolderId into = targetFolder(name);
  if (!mayWrite(presenceFor(name), name) || !folderStillListed() || !targetFolderStill(into, name)) return;
  resultPath = pathFor(name);
  resultCode = 1;
  done = 1;
}

void UXFilePanel::onCancel() {
  resultCode = 0;
  done = 1;
}

void UXFilePanel::onFind() {
  const std::string text = target();
  if (text.empty()) return;
  for (size_t i = 0; i < visible.size(); ++i) {
    const std::string& name = visible[i]->name;
    if (name.size() < text.size() || name.compare(0, text.size(), text) != 0) continue;
    selected = int32_t(i);
    selectedName = name;
    top = int32_t(i);
    scrollBy(0);
    return;
  }
}

// ---------------------------------------------------------------------------
// 3. Rename, copy, move, delete. Each acts on the selected, shown row only,
//    never replaces or deletes without a confirmation, reports a failure
//    through the alert and lists the folder again, so that the list shows
//    what the disk holds.

int32_t UXFilePanel::ask(const std::string& message, const char* buttons) {
  UXAlert alert;
  alert.style = 2;
  alert.message = message;
  alert.buttons = buttons;
  return alert.run();
}

void UXFilePanel::report(const std::string& message) {
  UXAlert alert;
  alert.style = 3;
  alert.message = message;
  alert.buttons = "OK";
  alert.run();
}

const char* UXFilePanel::failureText(UXFileFailure failure) {
  switch (failure) {
    case UXFileFailure::exists: return kExists;
    case UXFileFailure::tooLong: return "The name is too long.";
    case UXFileFailure::permission: return "Permission denied.";
    case UXFileFailure::gone: return "The file is no longer there.";
    case UXFileFailure::noFolder: return "The folder is not there.";
    case UXFileFailure::notRegular: return "Only regular files are copied.";
    case UXFileFailure::isFolder: return "It is a folder.";
    case UXFileFailure::same: return "It is the same file.";
    case UXFileFailure::noSpace: return "The disk is full.";
    case UXFileFailure::tooLarge: return "The file is too large for the disk it goes to.";
    case UXFileFailure::linkLoop: return "The link leads round in a loop.";
    case UXFileFailure::brokenLink: return "The link is broken: what it points to is not there.";
    case UXFileFailure::otherVolume: return "It cannot be moved to another disk; copy it instead.";
    case UXFileFailure::swapped: return "It is no longer the file that was listed.";
    case UXFileFailure::changed: return "It changed while it was moved, so it was kept here beside the copy.";
    case UXFileFailure::deviceName: return "It is a device name Windows reserves.";
    case UXFileFailure::linkAsTarget: return "It is a link this system reaches only as what it leads to.";
    case UXFileFailure::busy: return "Another program holds it locked.";
    case UXFileFailure::notText: return "It holds no text this program can read.";
    default: return "";
  }
}

void UXFilePanel::reportFailure(const char* failure, const std::string& name) {
  std::string message = failure + ("|" + asLine(name));
  const char* reason = failureText(gDriver ? gDriver->fileFailure() : UXFileFailure::unknown);
  if (*reason) message += std::string("|") + reason;
  report(message);
}

Ref<UXFileRow> UXFilePanel::rowToChange(const std::string& name) const {
  Ref<UXFileRow> row = actionRow();
  if (!row || !gDriver) return nullptr;
  if (name.empty()) {
    report(kNoName);
    return nullptr;
  }
  if (name == row->name) {
    report("Type a new name: this is the file's own name.|" + asLine(name));
    return nullptr;
  }
  return row;
}

void UXFilePanel::renameOrMove(const char* failure) {
  const std::string name = target();
  Ref<UXFileRow> row = rowToChange(name);
  if (!row) return;
  // An unknown answer goes on: the driver's rename itself never replaces.
  const Presence taken = presenceFor(name);
  if (taken == Presence::present || taken == Presence::folder) {
    report(kExists + ("|" + asLine(name)));
    return;
  }
  if (taken == Presence::deviceName) {
    report(failureText(UXFileFailure::deviceName) + ("|" + asLine(name)));
    return;
  }
  if (!folderStillListed()) return;
  // The row is renamed only while it is what was listed: a file that has
  // become a folder (or the reverse) since is left alone.
  const std::string from = join(dir, row->name);
  const UXFilePresence now = gDriver->filePresence(from.c_str());
  if ((now == UXFilePresence::folder && !row->isDir) || (now == UXFilePresence::file && row->isDir)) {
    const char* why = row->isDir ? kNotFolder : failureText(UXFileFailure::isFolder);
    report(failure + ("|" + asLine(row->name) + "|") + why);
    reload();
    return;
  }
  if (!gDriver->fileRename(from.c_str(), pathFor(name).c_str())) reportFailure(failure, row->name);
  reload();
}

void UXFilePanel::onRename() { renameOrMove("The file could not be renamed."); }
void UXFilePanel::onMove() { renameOrMove("The file could not be moved."); }

void UXFilePanel::onCopy() {
  const std::string name = target();
  Ref<UXFileRow> row = rowToChange(name);
  if (!row || !folderStillListed()) return;
  // Who the source and the folder the copy lands in are before the
  // question: the copy is made only from that file into that folder, and
  // onto a file there only when the user chose Replace.
  const std::string from = join(dir, row->name);
  UXFileIdentity source;
  const bool identified = gDriver->fileIdentity(from.c_str(), source);
  const FolderId into = targetFolder(name);
  const Presence presence = presenceFor(name);
  if (!mayWrite(presence, name) || !folderStillListed() || !targetFolderStill(into, name)) return;
  const bool replace = presence == Presence::present;
  if (!gDriver->fileCopyDecided(from.c_str(), pathFor(name).c_str(), replace, identified ? &source : nullptr))
    reportFailure("The file could not be copied.", row->name);
  reload();
}

void UXFilePanel::onDelete() {
  if (!gDriver || recentsMode || selected < 0 || uint32_t(selected) >= visible.size()) return;
  // Files only: the question names a file, and Find can select a folder or
  // the ".." row (a folder row too).
  const Ref<UXFileRow> row = visible[size_t(selected)];
  if (row->isDir) {
    report("Only files can be deleted.|" + asLine(row->name));
    return;
  }
  if (!folderStillListed() || ask("Delete this file?|" + asLine(row->name), "Delete|Cancel") != 1 ||
      !folderStillListed())
    return;
  if (!gDriver->fileDelete(join(dir, row->name).c_str()))
    reportFailure("The file could not be deleted.", row->name);
  reload();
}

namespace {

UXFilePanel::Presence presenceOfEntry(UXFilePresence found) {
  switch (found) {
    case UXFilePresence::absent: return UXFilePanel::Presence::absent;
    case UXFilePresence::file: return UXFilePanel::Presence::present;
    case UXFilePresence::folder: return UXFilePanel::Presence::folder;
    case UXFilePresence::notFolder: return UXFilePanel::Presence::notFolder;
    case UXFilePresence::deviceName: return UXFilePanel::Presence::deviceName;
    case UXFilePresence::unknown: break;
  }
  return UXFilePanel::Presence::unknown;
}

}  // namespace

UXFilePanel::Presence UXFilePanel::presenceOf(const std::string& path) {
  const size_t cut = lastSeparator(path);
  const std::string leaf = cut == std::string::npos ? path : path.substr(cut + 1);
  UXFileRows d, f;
  uint8_t unreadable = 0, truncated = 0, partial = 0;
  listFolder(folderOf(path), d, f, unreadable, truncated, partial);
  // Nothing in a folder that cannot be listed counts as free.
  if (unreadable) return Presence::unknown;
  // The file system answers for the exact name, folded as it folds names:
  // its "absent" is what proves the name free, whatever other names a
  // listing left out.
  const Presence found = presenceOfEntry(gDriver->filePresence(path.c_str()));
  if (found != Presence::absent && found != Presence::unknown) return found;
  for (const UXFileRows* rows : {&d, &f})
    for (const Ref<UXFileRow>& row : *rows)
      if (row->name == leaf) return row->isDir ? Presence::folder : Presence::present;
  if (found == Presence::absent) return Presence::absent;
  // The system will not tell: say why the listing cannot tell either.
  if (truncated) return Presence::tooMany;
  return partial ? Presence::partial : Presence::unknown;
}

UXFilePanel::Presence UXFilePanel::presenceFor(const std::string& name) const {
  std::string path = pathFor(name);
  // A name whose last part is empty, "." or ".." can only be a folder.
  auto endsWith = [&path](const char* tail) {
    const size_t n = std::strlen(tail);
    return path.size() > n && path.compare(path.size() - n, n, tail) == 0;
  };
  const bool windows = drivePath(path);
  const char* separators = windows ? "/\\" : "/";
  const bool folderForm = name.empty() || name == "." || name == ".." || std::strchr(separators, name.back()) ||
                          endsWith("/.") || endsWith("/..") || (windows && (endsWith("\\.") || endsWith("\\..")));
  if (!folderForm) {
    Presence presence = presenceOf(path);
    for (const Ref<UXFileRow>& row : files)
      if (row->name == name && presence == Presence::absent) presence = Presence::present;
    return presence;
  }
  // "x/", "x/." and "x/./" name x itself; "x/.." is left to the system. A
  // root ("/", "C:/") stays whole.
  while (path.size() > 1 && !(windows && path.size() == 3 && path[1] == ':') && !endsWith("..") &&
         (std::strchr(separators, path.back()) || endsWith("/.") || (windows && endsWith("\\."))))
    path.pop_back();
  const UXFilePresence found = gDriver ? gDriver->filePresence(path.c_str()) : UXFilePresence::unknown;
  switch (found) {
    case UXFilePresence::folder: return Presence::folder;
    case UXFilePresence::file: return Presence::notFolder;
    case UXFilePresence::absent: return Presence::noFolder;
    default: return presenceOfEntry(found);
  }
}

std::string UXFilePanel::asLine(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '|') out += "\xE2\x88\xA3";
    else out += c;
  }
  return out;
}

// ---------------------------------------------------------------------------
// 4. Recent paths, kept through the driver's settings (keys "0" ... "11").

namespace {

UXFileRows gFileRecents;

bool listed(const UXFileRows& rows, const std::string& path) {
  for (const Ref<UXFileRow>& row : rows)
    if (row->name == path) return true;
  return false;
}

// The paths stored in the settings now, then those this process holds that
// are not among them (a path with a line break, one no settings could
// keep): another instance of the program may have stored paths since this
// one last looked, and they are kept.
void loadRecents() {
  UXFileRows rows;
  if (gDriver) {
    std::vector<char> value(4096);
    for (uint32_t i = 0; i < UXFilePanel::kMaxRecents; ++i) {
      const std::string key = std::to_string(i);
      if (gDriver->settingGet(UXFilePanel::kRecentsSection, key.c_str(), value.data(), uint32_t(value.size())) == 0)
        break;
      value.back() = 0;
      std::string path(value.data());
      if (path.empty()) break;
      if (!listed(rows, path)) rows.push_back(make<UXFileRow>(path, 0, 0));
    }
  }
  for (const Ref<UXFileRow>& row : gFileRecents)
    if (rows.size() < UXFilePanel::kMaxRecents && !listed(rows, row->name)) rows.push_back(row);
  gFileRecents = std::move(rows);
}

// One change of all the keys, so that another instance saving its own
// paths meanwhile sees this list whole or not at all.
void saveRecents() {
  if (!gDriver) return;
  std::vector<UXSettingChange> changes;
  for (const Ref<UXFileRow>& row : gFileRecents) {
    // A settings value is one line: a path with a line break stays in memory.
    if (row->name.find_first_of("\r\n") != std::string::npos) continue;
    changes.push_back({std::to_string(changes.size()), row->name});
  }
  while (changes.size() < UXFilePanel::kMaxRecents) changes.push_back({std::to_string(changes.size()), "", true});
  gDriver->settingsChange(UXFilePanel::kRecentsSection, changes);
}

}  // namespace

const UXFileRows& UXFileRecents::list() {
  loadRecents();
  return gFileRecents;
}

void UXFileRecents::add(const std::string& path) {
  loadRecents();
  UXFileRows next;
  next.push_back(make<UXFileRow>(path, 0, 0));
  for (const Ref<UXFileRow>& row : gFileRecents)
    if (row->name != path && next.size() < UXFilePanel::kMaxRecents) next.push_back(row);
  gFileRecents = std::move(next);
  saveRecents();
}

void UXFileRecents::reset() {
  gFileRecents.clear();
}

void UXFilePanel::addRecent(const std::string& path) { UXFileRecents::add(path); }

void UXFilePanel::showRecents() {
  recentsMode = 1;
  visible = UXFileRecents::list();
  selected = -1;
  top = 0;
  setDirText("Recent files");
  syncControls();
  if (list) list->setNeedsDisplayInRect(list->absoluteFrame());
}

void UXFilePanel::onRecent() {
  if (!recentsMode) {
    showRecents();
    return;
  }
  recentsMode = 0;
  reload();
}

// The Recent button's title, and the controls that act on the folder only
// while the folder is shown.
void UXFilePanel::syncControls() {
  if (recentButton) {
    const char* title = recentsMode ? "Folder" : "Recent";
    if (std::strcmp(recentButton->title, title) != 0) recentButton->setTitle(title);
  }
  for (const Ref<UXButton>& button : manageButtons)
    if (button) button->setEnabled(!recentsMode);
  if (hiddenBox) hiddenBox->setEnabled(!recentsMode);
}

// ---------------------------------------------------------------------------
// 5. Buttons

void UXFilePanel::addSubview(const Ref<UXView>& parent, const Ref<UXView>& view, UXRect frame) {
  uxAddChild(*parent, view, frame);
}

UXAction UXFilePanel::panelAction(void (UXFilePanel::*action)()) {
  UXAction a;
  a.target = self();
  a.function = [action](const Ref<Object>& target, const Ref<UXView>&, const UXAction&) {
    (static_cast<UXFilePanel*>(target.get())->*action)();
  };
  return a;
}

Ref<UXButton> UXFilePanel::mkBtn(const Ref<UXView>& parent, const char* title, void (UXFilePanel::*action)(),
                                 int32_t x, int32_t y, int32_t w, int32_t h) {
  auto button = make<UXButton>();
  button->title = title;
  button->action = panelAction(action);
  addSubview(parent, button, UXRect(x, y, w, h));
  return button;
}

}  // namespace quorl
