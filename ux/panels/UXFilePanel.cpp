// UXFilePanel: state, listing, ordering, filtering and scrolling.
//
// Sections:
//   1. Rows and the panel's life
//   2. Listing a folder
//   3. Ordering and filtering
//   4. Sizes and strings
//   5. Scrolling
#include "ux/panels/UXFilePanel.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <vector>

#include "foundation/String.h"
#include "ux/core/UXApplication.h"
#include "ux/core/UXViewDriver.h"
#include "ux/core/UXWindow.h"
#include "ux/controls/UXCheckbox.h"
#include "ux/controls/UXControl.h"
#include "ux/controls/UXTextField.h"
#include "ux/panels/UXFilePanelViews.h"

namespace quorl {

// ---------------------------------------------------------------------------
// 1. Rows and the panel's life

Ref<String> UXFileRow::description() const {
  const uint16_t values[] = {isDir, uint16_t(size)};
  return String::_classDescribe(classNameC(), values, 2, 0);
}

UXFilePanel::UXFilePanel() = default;
UXFilePanel::~UXFilePanel() = default;

Ref<String> UXFilePanel::description() const {
  const uint16_t values[] = {uint16_t(selected),   uint16_t(top),  done,      uint16_t(resultCode), showHidden,
                             recentsMode,          uint16_t(sortKey), ascending, saveMode};
  // Signed: selected, top, resultCode, sortKey.
  return String::_classDescribe(classNameC(), values, 9, 0x1 | 0x2 | 0x8 | 0x40);
}

// ---------------------------------------------------------------------------
// 2. Listing a folder

uint32_t& UXFilePanel::_maxRowsForTests() {
  static uint32_t rows = kMaxRows;
  return rows;
}

bool UXFilePanel::parseListing(const char* text, UXFileRows& dirs, UXFileRows& files) {
  if (!text) return true;
  const char* p = text;
  while (*p) {
    const char kindByte = *p;
    uint32_t size = 0;
    const char* name;
    if (p[1] == '\t') {
      const char* q = p + 2;
      while (*q >= '0' && *q <= '9') size = size * 10u + uint32_t(*q++ - '0');
      if (*q == '\t') ++q;
      name = q;
    } else {
      name = p[1] == ' ' ? p + 2 : p + 1;
    }
    const char* end = name;
    while (*end && *end != '\n') ++end;
    if (dirs.size() + files.size() >= _maxRowsForTests() - 1) return false;  // the ".." row needs one
    const bool isDir = kindByte == 'd';
    (isDir ? dirs : files).push_back(make<UXFileRow>(std::string(name, size_t(end - name)), uint8_t(isDir), size));
    p = *end == '\n' ? end + 1 : end;
  }
  return true;
}

void UXFilePanel::listFolder(const std::string& dir, UXFileRows& dirs, UXFileRows& files, uint8_t& unreadable,
                             uint8_t& truncated, uint8_t& partial) {
  unreadable = 0;
  truncated = 0;
  partial = 0;
  // The driver says whether it wrote every entry. When it did not, a larger
  // buffer helps only if this one was nearly full: a line (kind, size and a
  // name of at most 255 UTF-16 units, 765 bytes as UTF-8) is below
  // kRoomForALine. The buffer starts at the size the last whole listing
  // needed, so a large folder is listed again in one call.
  constexpr uint32_t kRoomForALine = 1024;
  static uint32_t lastCapacity = kListingStart;
  std::vector<char> buffer;
  for (uint32_t capacity = lastCapacity;; capacity *= 2) {
    buffer.assign(capacity, 0);
    const int32_t count = gDriver ? gDriver->listDir(dir.c_str(), buffer.data(), capacity) : -1;
    buffer[capacity - 1] = 0;
    if (count < 0) {
      unreadable = 1;
      buffer[0] = 0;
      break;
    }
    const size_t used = std::strlen(buffer.data());
    const bool whole = gDriver->listDirWhole();
    if (whole || used + kRoomForALine < capacity) {
      if (!whole) partial = 1;
      // Shrinks again after a large folder, with room to grow.
      lastCapacity = std::max<uint32_t>(kListingStart, std::min<uint32_t>(capacity, uint32_t(used) * 2 + 600));
      break;
    }
    if (capacity >= kListingLimit) {
      truncated = 1;
      break;
    }
  }
  if (!parseListing(buffer.data(), dirs, files)) truncated = 1;
}

void UXFilePanel::setDirText(const std::string& text) {
  dirText_ = text;
  if (dirLabel) dirLabel->setText(dirText_.c_str());
}

void UXFilePanel::reload() {
  rows.clear();
  dirs.clear();
  files.clear();
  selectedName.clear();
  if (!saveMode && nameField) nameField->setText("");
  // The folder's identity before and after the listing: known only when
  // both agree, so that a folder swapped meanwhile is never taken for the
  // one listed.
  UXFileIdentity after;
  listedIdKnown = gDriver && gDriver->fileIdentity(dir.c_str(), listedId);
  listFolder(dir, dirs, files, unreadable, truncated, partial);
  listedIdKnown = listedIdKnown && gDriver->fileIdentity(dir.c_str(), after) && after == listedId;
  dotDot = isRoot(dir) ? nullptr : make<UXFileRow>("..", 1, 0);
  std::string label = dir;
  if (unreadable) label += " (cannot be read)";
  else if (truncated || partial) label += " (not every entry is shown)";
  setDirText(label);
  syncControls();
  rebuild();
}

// ---------------------------------------------------------------------------
// 3. Ordering and filtering

bool UXFilePanel::before(const std::string& a, const std::string& b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    uint8_t x = uint8_t(a[i]), y = uint8_t(b[i]);
    if (x >= 'A' && x <= 'Z') x = uint8_t(x + 32);
    if (y >= 'A' && y <= 'Z') y = uint8_t(y + 32);
    if (x != y) return x < y;
  }
  return a.size() < b.size();
}

bool UXFilePanel::less(const UXFileRow& a, const UXFileRow& b) const {
  if (sortKey == 1) {
    if (a.size != b.size) return ascending ? a.size < b.size : a.size > b.size;
    return before(a.name, b.name);
  }
  return ascending ? before(a.name, b.name) : before(b.name, a.name);
}

// A stable sort by `less`: equal rows keep their listing order.
UXFileRows UXFilePanel::sortedCopy(const UXFileRows& in) const {
  UXFileRows out(in);
  std::stable_sort(out.begin(), out.end(),
                   [this](const Ref<UXFileRow>& a, const Ref<UXFileRow>& b) { return less(*a, *b); });
  return out;
}

void UXFilePanel::rebuild() {
  rows.clear();
  rows.reserve(dirs.size() + files.size() + 1);
  if (dotDot) rows.push_back(dotDot);
  if (sortKey != 1) {
    UXFileRows d = sortedCopy(dirs), f = sortedCopy(files);
    rows.insert(rows.end(), d.begin(), d.end());
    rows.insert(rows.end(), f.begin(), f.end());
  } else {
    UXFileRows all(dirs);
    all.insert(all.end(), files.begin(), files.end());
    UXFileRows sorted = sortedCopy(all);
    rows.insert(rows.end(), sorted.begin(), sorted.end());
  }
  applyMask();
}

bool UXFilePanel::matchMask(const char* mask, const char* name) {
  if (!mask || !*mask || std::strcmp(mask, "*") == 0) return true;
  if (!name) name = "";
  const size_t nameLen = std::strlen(name);
  if (mask[0] == '*') {
    const char* rest = mask + 1;
    const size_t restLen = std::strlen(rest);
    return nameLen >= restLen && std::memcmp(name + nameLen - restLen, rest, restLen) == 0;
  }
  const size_t maskLen = std::strlen(mask);
  return nameLen >= maskLen && std::memcmp(name, mask, maskLen) == 0;
}

void UXFilePanel::applyMask() {
  visible.clear();
  selected = -1;
  top = 0;
  const char* maskText = maskField ? maskField->text() : "*";
  for (const Ref<UXFileRow>& row : rows) {
    if (!showHidden && !row->name.empty() && row->name[0] == '.' && row->name != "..") continue;
    if (!row->isDir && !matchMask(maskText, row->name.c_str())) continue;
    visible.push_back(row);
  }
  if (list) list->setNeedsDisplayInRect(list->absoluteFrame());
}

void UXFilePanel::syncMask() {
  if (recentsMode || !maskField) return;
  if (mask == maskField->text()) return;
  mask = maskField->text();
  applyMask();
}

void UXFilePanel::onToggleHidden() {
  // The box is disabled while the recent list shows; a call then changes
  // nothing that is shown.
  showHidden = hiddenBox ? hiddenBox->state : showHidden;
  if (recentsMode) return;
  applyMask();
}

void UXFilePanel::sortBy(uint32_t key) {
  if (recentsMode) return;
  if (key != sortKey) {
    sortKey = key;
    ascending = 1;
  } else {
    ascending = ascending ? 0 : 1;
  }
  rebuild();
  if (header) header->setNeedsDisplayInRect(header->absoluteFrame());
}

// ---------------------------------------------------------------------------
// 4. Sizes and strings

uint32_t UXFilePanel::utoa(uint32_t value, char* buffer) {
  char digits[10];
  uint32_t n = 0;
  do {
    digits[n++] = char('0' + value % 10);
    value /= 10;
  } while (value);
  for (uint32_t i = 0; i < n; ++i) buffer[i] = digits[n - 1 - i];
  buffer[n] = 0;
  return n;
}

void UXFilePanel::formatSize(uint32_t size, char buffer[8]) {
  if (size < 1024) {
    utoa(size, buffer);
    return;
  }
  uint32_t unit = 1024;
  char letter = 'K';
  if (size >= 1073741824u) {
    unit = 1073741824u;
    letter = 'G';
  } else if (size >= 1048576u) {
    unit = 1048576u;
    letter = 'M';
  }
  const uint32_t whole = size / unit;
  const uint32_t tenth = uint32_t(uint64_t(size % unit) * 10u / unit);
  uint32_t n = utoa(whole, buffer);
  buffer[n++] = '.';
  buffer[n++] = char('0' + tenth);
  buffer[n++] = letter;
  buffer[n] = 0;
}

std::string UXFilePanel::join(const std::string& dir, const std::string& name) {
  if (dir == "/") return "/" + name;
  UXCString joined = UXStr::cat(dir.c_str(), '/', name.c_str());
  // cat drops the separator after an empty folder; a path stays a path.
  if (dir.empty()) return "/" + name;
  return std::string(joined.get());
}

bool UXFilePanel::isRoot(const std::string& dir) {
  return dir.size() <= 1 || (dir.size() == 3 && dir[1] == ':' && dir[2] == '/');
}

std::string UXFilePanel::parentOf(const std::string& dir) {
  for (size_t i = dir.size(); i-- > 1;) {
    if (dir[i] != '/') continue;
    // Above "C:/x" is the drive's root "C:/", not "C:" (the drive's current
    // folder).
    if (i == 2 && dir[1] == ':') return dir.size() > 3 ? dir.substr(0, 3) : dir;
    return dir.substr(0, i);
  }
  return "/";
}

std::string UXFilePanel::absoluteDir(const char* start) {
  namespace fs = std::filesystem;
  std::string in = start && *start ? start : ".";
  std::error_code ec;
  fs::path p(std::u8string(reinterpret_cast<const char8_t*>(in.data()), in.size()));
  fs::path abs = fs::absolute(p, ec);
  if (ec) return in;
  std::u8string u = abs.lexically_normal().generic_u8string();
  std::string out(reinterpret_cast<const char*>(u.data()), u.size());
  // "/tmp/" and "C:/x/" lose the slash; "/" and "C:/" keep it.
  while (out.size() > 1 && out.back() == '/' && !(out.size() == 3 && out[1] == ':')) out.pop_back();
  return out.empty() ? "/" : out;
}

// ---------------------------------------------------------------------------
// 5. Scrolling

void UXFilePanel::scrollBy(int32_t delta) {
  const int64_t maxTop = std::max<int64_t>(int64_t(visible.size()) - kVisibleRows, 0);
  int64_t t = int64_t(top) + delta;
  if (t > maxTop) t = maxTop;
  if (t < 0) t = 0;
  top = int32_t(t);
  if (list) list->setNeedsDisplayInRect(list->absoluteFrame());
}

void UXFilePanel::setTopFromY(int32_t y, int32_t span) {
  if (span < 1) return;
  const int64_t maxTop = std::max<int64_t>(int64_t(visible.size()) - kVisibleRows, 0);
  int64_t t = int64_t(y) * maxTop / span;
  t = std::clamp<int64_t>(t, 0, maxTop);
  if (t == top) return;
  top = int32_t(t);
  if (list) list->setNeedsDisplayInRect(list->absoluteFrame());
}

}  // namespace quorl
