// The toolkit's own modal file chooser.
//
// Sections:
//   1. UXFileRow: one entry of a listing, or one recent path
//   2. UXFilePanel: state
//   3. Listing, ordering and filtering (UXFilePanel.cpp)
//   4. Actions and recent files (UXFilePanelActions.cpp)
//   5. The window and its modal loop (UXOpenPanel.cpp)
//
// Strings are byte strings (UTF-8 or not: names are kept exactly as the
// driver lists them) held in std::string; paths use '/'. Row positions are
// 16-bit: one list holds at most kMaxRows rows, and a folder with more
// entries shows the first of them (in the order the driver lists them).
//
// The panel only ever acts on the row that is selected and shown: after a
// re-sort, a mask change, a hidden toggle, a new listing or while the recent
// list is shown, nothing is selected and Rename, Copy, Move and Delete do
// nothing. Every change of the disk is confirmed when it would replace or
// delete a file, and is made only while the folder shown is still the one
// listed (the same identity on disk), and a file written under a typed
// name lands only in the folder that was asked about. Whether a name is
// taken is asked of the file system through the driver, and a name counts
// as free only when the file system says so and no listed name matches; a
// copy to a free name is made only while the name stays free (the decision
// goes to the driver with the copy). Every failure is reported through the
// driver's alert with its reason, and every action that does nothing says
// why.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/Object.h"
#include "ux/core/UXEvent.h"
#include "ux/core/UXStr.h"
#include "ux/core/UXView.h"
#include "ux/core/UXViewDriver.h"

namespace quorl {

class UXButton;
class UXCheckbox;
class UXEvent;
class UXFileHeader;
class UXFileListView;
class UXLabel;
class UXTextField;
class UXWindow;

// ---------------------------------------------------------------------------
// 1. A row.
class UXFileRow : public Object {
 public:
  std::string name;  // as listed; for a recent path the whole path
  uint8_t isDir = 0;
  uint32_t size = 0;  // bytes as listed (wraps modulo 2^32); folders 0

  UXFileRow() = default;
  UXFileRow(std::string n, uint8_t dir, uint32_t s) : name(std::move(n)), isDir(dir), size(s) {}

  // <UXFileRow>(isDir, size), both unsigned and cut to 16 bits.
  Ref<String> description() const override;
  const char* classNameC() const override { return "UXFileRow"; }
};

using UXFileRows = std::vector<Ref<UXFileRow>>;

// The recent paths, most recent first, at most UXFilePanel::kMaxRecents, no
// two alike. Loaded from the driver's settings on first use and written back
// on every change; `reset` forgets the list in memory (not the settings).
struct UXFileRecents {
  static const UXFileRows& list();
  static void add(const std::string& path);
  static void reset();
};

// ---------------------------------------------------------------------------
// 2. The panel.
class UXFilePanel : public Object {
 public:
  static constexpr uint32_t kVisibleRows = 10;   // rows the list shows
  static constexpr uint32_t kMaxRows = 65535;    // 16-bit row positions
  // The rows a listing takes: kMaxRows. Tests lower it, so that a folder
  // holds more entries than a list without tens of thousands of files.
  static uint32_t& _maxRowsForTests();
  static constexpr uint32_t kMaxRecents = 12;
  static constexpr uint32_t kListingStart = 16384;       // first listing buffer
  static constexpr uint32_t kListingLimit = 64u << 20;   // largest listing buffer
  static constexpr uint16_t kNameCapacity = 1024;  // a 255-byte name and more fit
  // Settings section and keys ("0" ... "11") of the recent paths.
  static constexpr const char* kRecentsSection = "RecentFiles";

  std::string dir = "/";
  UXFileRows rows;     // ".." first when there is one, then the ordered rows
  UXFileRows visible;  // rows after the hidden rule and the mask, or the recents
  int32_t selected = -1;     // index into visible
  std::string selectedName;  // name of the selected row; kept after a reset
  int32_t top = 0;           // first row shown
  uint8_t done = 0;
  uint32_t resultCode = 0;   // 1 chosen, 0 cancelled
  std::string resultPath;
  UXFileRows dirs;   // folder rows in listing order
  UXFileRows files;  // file rows in listing order
  Ref<UXFileRow> dotDot;
  Ref<UXWindow> window;
  Ref<UXFileListView> list;
  Ref<UXFileHeader> header;
  Ref<UXLabel> dirLabel;
  Ref<UXTextField> maskField;
  Ref<UXTextField> nameField;
  Ref<UXCheckbox> hiddenBox;
  Ref<UXButton> recentButton;
  Ref<UXButton> manageButtons[4];  // Rename, Copy, Move, Delete
  std::string mask = "*";
  uint8_t showHidden = 0;
  uint8_t recentsMode = 0;
  uint32_t sortKey = 0;  // 0 name, 1 size
  uint8_t ascending = 1;
  uint8_t saveMode = 0;
  std::string saveName;
  uint8_t unreadable = 0;   // the last listing failed
  uint8_t truncated = 0;    // the last listing held more rows than fit
  uint8_t partial = 0;      // the driver left names out of the last listing
  UXFileIdentity listedId;  // who the folder listed last is on disk
  uint8_t listedIdKnown = 0;

  UXFilePanel();
  ~UXFilePanel() override;

  // <UXFilePanel>(selected, top, done, resultCode, showHidden, recentsMode,
  // sortKey, ascending, saveMode)
  Ref<String> description() const override;
  const char* classNameC() const override { return "UXFilePanel"; }

  // -- 3. Listing, ordering, filtering ---------------------------------------
  void reload();
  void rebuild();
  void applyMask();
  void syncMask();
  void onToggleHidden();
  void sortBy(uint32_t key);
  void scrollBy(int32_t delta);
  void setTopFromY(int32_t y, int32_t span);
  // The listing text as the driver writes it, appended to dirs and files
  // (at most kMaxRows - 1 rows; answers false when some were left out).
  static bool parseListing(const char* text, UXFileRows& dirs, UXFileRows& files);
  // Lists a folder through the driver into dirs and files, growing the
  // buffer until the whole listing fits (up to kListingLimit bytes; past
  // that, or past kMaxRows rows, truncated). partial: the driver left out
  // names that no larger buffer would bring.
  static void listFolder(const std::string& dir, UXFileRows& dirs, UXFileRows& files, uint8_t& unreadable,
                         uint8_t& truncated, uint8_t& partial);
  static bool matchMask(const char* mask, const char* name);
  // Byte order with only 'A'..'Z' folded to lower case.
  static bool before(const std::string& a, const std::string& b);
  bool less(const UXFileRow& a, const UXFileRow& b) const;
  UXFileRows sortedCopy(const UXFileRows& rows) const;
  // "1023", "1.0K", "1023.9K", "3.9G": at most 7 bytes and the NUL.
  static void formatSize(uint32_t size, char buffer[8]);
  static uint32_t utoa(uint32_t value, char* buffer);
  static std::string join(const std::string& dir, const std::string& name);
  // The folder above dir ("/" at the top; a drive's root "C:/" stays); a
  // trailing '/' is the cut.
  static std::string parentOf(const std::string& dir);
  // "/", any one-byte folder, or a drive's root "C:/": no ".." row.
  static bool isRoot(const std::string& dir);
  // An absolute, '/'-separated form of a start folder (".", "sub/..", "").
  static std::string absoluteDir(const char* dir);
  // The text the directory label shows.
  const std::string& dirText() const { return dirText_; }

  // -- 4. Actions -------------------------------------------------------------
  void rowClicked(int32_t index);
  void select(int32_t index);
  void goUp();
  static bool isDotDot(const std::string& name) { return name == ".."; }
  // The typed name, or the selected name without a name field.
  std::string target() const;
  // Whether a typed name is a whole path, taken as it is: "/x", and where
  // folders are drive paths also "C:\x", "C:x" and "\\server\x".
  bool isAbsolute(const std::string& name) const;
  // The path a typed name stands for: itself when absolute, else under dir.
  std::string pathFor(const std::string& name) const;
  // The row Rename, Copy, Move and Delete act on: the selected, shown row of
  // the folder (never "..", never a recent path); null when there is none.
  Ref<UXFileRow> actionRow() const;
  void onOpen();
  void onSave();
  void onCancel();
  void onFind();
  void onRename();
  void onCopy();
  void onMove();
  void onDelete();
  void onRecent();
  void showRecents();
  static void addRecent(const std::string& path);
  // What stands at a path, asked of the file system through the driver
  // (which folds names as the system does) and checked against a listing
  // of its folder: absent only when the folder can be listed, the system
  // says absent and no listed name matches. The last five never count as
  // absent and each has its own report; tooMany and partial say why a
  // listing cannot stand in where the system will not tell.
  enum class Presence : uint8_t {
    absent,
    present,    // a file (or any entry that is no folder)
    folder,
    notFolder,  // the path names a folder, and a file has that name
    deviceName,  // the system keeps the name for a device
    noFolder,   // the path names a folder that is not there
    unknown,    // the folder cannot be listed, or the system will not tell
    tooMany,    // the system will not tell, and the folder has more entries than a listing holds
    partial,    // the system will not tell, and the listing left names out
  };
  static Presence presenceOf(const std::string& path);
  // The presence of what a typed name stands for; a name that can only be
  // a folder ("x/", "x/.", "x/..", ".") is answered as a folder or as one
  // of the refusals notFolder and noFolder.
  Presence presenceFor(const std::string& name) const;
  // A name or path as one line of an alert: '|', which would start a new
  // line or a button, is shown as U+2223.
  static std::string asLine(const std::string& text);
  // The user's words for why a driver file operation failed; empty when the
  // driver cannot tell.
  static const char* failureText(UXFileFailure failure);
  // Makes a button with that title and action and adds it to parent.
  Ref<UXButton> mkBtn(const Ref<UXView>& parent, const char* title, void (UXFilePanel::*action)(), int32_t x,
                      int32_t y, int32_t w, int32_t h);

  // -- 5. The window and its loop --------------------------------------------
  // Runs modally; the chosen path, or null when cancelled.
  UXCString run(const char* title, const char* startDir);
  void buildPanel(const Ref<UXView>& back, const char* title);
  // One event of the modal loop (what `run` does with each).
  void handleEvent(UXEvent& event);
  // Events the panel does not take (closes of other windows, the quit
  // request) are kept and handed to the application after the loop.
  std::vector<Ref<UXEvent>> passedOn;

 private:
  void renameOrMove(const char* failure);
  // The row an action of Rename, Copy or Move may take, or null after saying
  // why it may not (the target is empty or the row's own name); `name` is
  // the typed target.
  Ref<UXFileRow> rowToChange(const std::string& name) const;
  // Whether a file may be written under name, given its presence: absent,
  // or present and the user chose Replace; anything else is refused with a
  // report.
  static bool mayWrite(Presence presence, const std::string& name);
  // Who a folder is on disk, when that can be told.
  struct FolderId {
    UXFileIdentity id;
    bool known = false;
  };
  // Whether the folder at `path` is still `before`; when not (or when that
  // cannot be told) reports it with `name`, lists the folder shown again
  // and answers false.
  bool stillFolder(const std::string& path, const FolderId& before, const char* swapped, const char* unidentified,
                   const std::string& name);
  // stillFolder for the folder shown, against the one listed.
  bool folderStillListed();
  // Who the folder is that a typed name lands in, taken before the panel
  // asks about the name; and stillFolder for it afterwards.
  FolderId targetFolder(const std::string& name) const;
  bool targetFolderStill(const FolderId& before, const std::string& name);
  // Reports a failed driver operation with its reason.
  static void reportFailure(const char* failure, const std::string& name);
  // An alert with the panel's confirmation style; answers the button number.
  static int32_t ask(const std::string& message, const char* buttons);
  static void report(const std::string& message);
  void setDirText(const std::string& text);
  void syncControls();
  void addSubview(const Ref<UXView>& parent, const Ref<UXView>& view, UXRect frame);
  // A block that calls action on this panel while it lives.
  UXAction panelAction(void (UXFilePanel::*action)());

  std::string dirText_;  // the label borrows it
};

// The remembered folder of the toolkit panel for the life of the program;
// empty before the first run.
extern std::string gFileLastDir;

}  // namespace quorl
