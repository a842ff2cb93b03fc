// UXOpenPanel and the file panel's window and modal loop.
//
// Sections:
//   1. The open panel
//   2. Building the panel's window
//   3. The modal loop
#include "ux/panels/UXOpenPanel.h"

#include <cstring>
#include <vector>

#include "foundation/Array.h"
#include "ux/core/UXApplication.h"
#include "ux/core/UXEvent.h"
#include "ux/core/UXViewDriver.h"
#include "ux/core/UXViewTree.h"
#include "ux/core/UXWindow.h"
#include "ux/controls/UXCheckbox.h"
#include "ux/controls/UXControl.h"
#include "ux/controls/UXTextField.h"
#include "ux/panels/UXFilePanel.h"
#include "ux/panels/UXFilePanelViews.h"

namespace quorl {

std::string gFileLastDir;

namespace {
UXCString copyOf(const std::string& s) {
  UXCString out = std::make_unique<char[]>(s.size() + 1);
  std::memcpy(out.get(), s.data(), s.size());
  out[s.size()] = 0;
  return out;
}
}  // namespace

// ---------------------------------------------------------------------------
// 1. The open panel

UXCString UXOpenPanel::run(const char* title, const char* dir) {
  if (!gDriver) return nullptr;
  if (!gDriver->hasNativeFileOpen()) return runToolkit(title, dir);
  constexpr uint32_t kCapacity = 1024;
  UXCString buffer = std::make_unique<char[]>(kCapacity);
  buffer[0] = 0;
  if (gDriver->fileOpen(title ? title : "", dir ? dir : "", buffer.get(), kCapacity) == 0) return nullptr;
  buffer[kCapacity - 1] = 0;
  return buffer;
}

UXCString UXOpenPanel::runToolkit(const char* title, const char* dir) {
  auto panel = make<UXFilePanel>();
  return panel->run(title, dir);
}

// ---------------------------------------------------------------------------
// 2. Building the panel's window


void UXFilePanel::buildPanel(const Ref<UXView>& back, const char* title) {
  window->open(title, UXRect(140, 80, 444, 330), back);
  auto label = [&](const char* text, int32_t x, int32_t y, int32_t w, int32_t h) {
    auto l = make<UXLabel>();
    addSubview(back, l, UXRect(x, y, w, h));
    l->setText(text);
    return l;
  };
  auto field = [&](const char* text, int32_t x, int32_t y, int32_t w, int32_t h, uint16_t capacity) {
    auto f = make<UXTextField>();
    if (capacity > f->capacity) {
      f->buffer.assign(capacity, 0);
      f->capacity = capacity;
    }
    addSubview(back, f, UXRect(x, y, w, h));
    f->setText(text);
    return f;
  };
  label("Directory:", 10, 8, 66, 16);
  dirLabel = label(dirText_.c_str(), 80, 8, 354, 16);
  label("Mask:", 10, 32, 44, 16);
  maskField = field("*", 54, 30, 120, 20, UXTextField::kDefaultCapacity);
  mkBtn(back, "Find", &UXFilePanel::onFind, 186, 30, 76, 22);
  label(saveMode ? "Save as:" : "Selection:", 10, 56, 66, 16);
  // Wide enough for the longest name a file system gives (255 bytes) and a
  // sub-folder before it.
  nameField = field(saveMode ? saveName.c_str() : "", 80, 54, 246, 20, kNameCapacity);
  header = make<UXFileHeader>();
  header->panel = self<UXFilePanel>();
  addSubview(back, header, UXRect(10, 80, 316, 18));
  list = make<UXFileListView>();
  list->panel = self<UXFilePanel>();
  addSubview(back, list, UXRect(10, 98, 316, 180));
  recentButton = mkBtn(back, "Recent", &UXFilePanel::onRecent, 334, 80, 100, 26);
  auto group = make<UXGroupBox>();
  group->title = "Manage";
  addSubview(back, group, UXRect(334, 118, 100, 160));
  manageButtons[0] = mkBtn(back, "Rename", &UXFilePanel::onRename, 342, 144, 84, 24);
  manageButtons[1] = mkBtn(back, "Copy", &UXFilePanel::onCopy, 342, 174, 84, 24);
  manageButtons[2] = mkBtn(back, "Move", &UXFilePanel::onMove, 342, 204, 84, 24);
  manageButtons[3] = mkBtn(back, "Delete", &UXFilePanel::onDelete, 342, 234, 84, 24);
  hiddenBox = make<UXCheckbox>();
  hiddenBox->title = "Show hidden";
  hiddenBox->action = panelAction(&UXFilePanel::onToggleHidden);
  addSubview(back, hiddenBox, UXRect(10, 294, 130, 18));
  mkBtn(back, "Cancel", &UXFilePanel::onCancel, 248, 292, 84, 28);
  mkBtn(back, saveMode ? "Save" : "Open", &UXFilePanel::onOpen, 344, 290, 90, 30);
  window->tree->setHiddenOf(recentButton->node, saveMode);

  reload();

  if (!gDriver || window->handle == 0) return;
  gDriver->structFinalise(window->tree->driverTree);
  window->realize();
  gDriver->windowInvalidate(window->handle);
}

// ---------------------------------------------------------------------------
// 3. The modal loop. Mouse and wheel input count only in the panel's
//    window, keys (which name no window) go to it; the panel's close
//    cancels; a quit request (close of window 0) cancels and is handed on
//    to the application after the loop, as are closes of other windows.

void UXFilePanel::handleEvent(UXEvent& event) {
  const uint32_t own = window ? window->handle : 0;
  const bool mine = own != 0 && event.window == own;
  switch (event.type) {
    case kUXEventMouseDown:
      if (mine) window->dispatchMouse(event);
      break;
    case kUXEventKey:
      // Keys name no window (0): while the panel runs it is the key window.
      if (mine || event.window == 0) window->dispatchKey(event);
      break;
    case kUXEventWheel:
      // One step of three rows against the wheel's sense; none for none.
      if (mine && event.a != 0) scrollBy(event.a > 0 ? -3 : 3);
      break;
    case kUXEventClose:
      if (mine || event.window == 0) {
        resultCode = 0;
        done = 1;
      }
      if (!mine) {
        auto kept = make<UXEvent>();
        kept->type = event.type;
        kept->window = event.window;
        passedOn.push_back(kept);
      }
      break;
    case kUXEventRelayout:
      if (mine) {
        window->realize();
        gDriver->windowInvalidate(own);
      }
      break;
    default:
      break;
  }
  syncMask();
  if (gNeedsDisplay) {
    if (window) window->display();
    gNeedsDisplay = 0;
  }
}

UXCString UXFilePanel::run(const char* title, const char* startDir) {
  if (!gDriver) return nullptr;
  dir = absoluteDir(!gFileLastDir.empty() ? gFileLastDir.c_str() : startDir);
  dirText_ = dir;
  auto back = make<UXFilePanelBack>();
  window = make<UXWindow>();
  buildPanel(back, title);
  UXEvent event;
  while (!done) {
    gDriver->nextEvent(0, event);
    handleEvent(event);
  }
  window->close();
  gFileLastDir = dir;
  // Closes of other windows and the quit request reach the application.
  std::vector<Ref<UXEvent>> kept;
  kept.swap(passedOn);
  if (gApp)
    for (const Ref<UXEvent>& e : kept) gApp->dispatchEvent(*e);
  if (resultCode != 1 || resultPath.empty()) return nullptr;
  addRecent(resultPath);
  return copyOf(resultPath);
}

}  // namespace quorl
