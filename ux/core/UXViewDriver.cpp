#include "ux/core/UXViewDriver.h"

#include <chrono>

namespace quorl {

namespace {
const char* const kOpNames[] = {
    "windowCreate", "windowSetContent", "windowOpen", "windowDestroy", "windowSetTitle", "windowSetSubtitle",
    "windowSetInfo", "windowSetIcon", "appSetIcon", "audioPlay", "windowSetModified", "windowContentSize",
    "windowScrollX", "windowScrollY", "windowSetScroll", "windowContentGeometry", "windowSnapshot",
    "windowInvalidate", "windowInvalidateRect", "windowOrderFront", "windowSetMinSize", "slot21", "windowLine",
    "outlineItemAt", "menuPopUp", "textViewSetAll", "textViewReplace", "textViewSize", "textViewRead",
    "textViewSelection", "textViewSetSelection", "textViewUndo", "textViewSetTyping", "textViewFocus",
    "textViewSetLook", "hasNativeFileOpen", "fileOpen", "hasNativeNavigation", "navAttach", "navPush", "navPop",
    "hasNativeFileSave", "fileSave", "hasNativeColorPicker", "pickColor", "hasNativeFontPicker", "pickFont",
    "nowMs", "nowUs", "nowUTC", "localOffsetMinutes", "settingGet", "settingSet", "settingRemove", "textWidth",
    "textWidthStyled", "textWidthWeight", "textAscent", "runPopupMenu", "fontFamilyCount", "fontFamilyName",
    "listDir", "fileDelete", "fileRename", "fileCopy", "treeOffset", "treeHitTest", "structAbsFrame",
    "structNew", "structFree", "structAdopt", "structObjects", "structLength", "structAppend", "structAddChild",
    "structRemoveChild", "structFinalise", "structSetFrame", "structFrame", "structSetHidden", "structIsHidden",
    "structSetEnabled", "structIsEnabled", "structSetSelected", "structIsSelected", "structSetClips",
    "structSetClipShape", "structSetSpec", "structSetSelectable", "structSetEditable", "structSetPeer",
    "structSetAutoresize", "driverAutoresizes", "treeSetUserDraw", "treeDraw", "beginViewDraw", "endViewDraw",
    "setDrawOffset", "scrollsNatively", "nativeScrollTo", "nativeScrollPx", "glKind", "glProc", "makeGLContext",
    "destroyGLContext", "resizeGL", "presentGL", "glSetSwapInterval", "glDrawableSize", "glReadFrame",
    "compositesWithGL", "setTurnHook", "realizeTree", "fieldEditorNew", "fieldEditorSetValid",
    "fieldEditorSetPlaceholder", "fieldEditorSetSecure", "fieldEditorFree", "editText", "menuBuild", "menuShow",
    "menuItemOrd", "menuCheck", "menuEnable", "alertRun", "nextEvent", "pumpMessages", "windowAtPoint",
    "trackDragStep", "dragTrackingIsModal", "boot", "liveNativeCount", "driverOwnsRunLoop", "appAttached",
    "requestStop", "setHeadless", "stopAfterMs", "runLoop", "formFactorClass", "orientation"};
static_assert(sizeof(kOpNames) / sizeof(kOpNames[0]) == size_t(UXDriverOp::count_));
}  // namespace

const char* uxDriverOpName(UXDriverOp op) {
  return op < UXDriverOp::count_ ? kOpNames[size_t(op)] : "?";
}

bool UXViewDriver::hasOperation(UXDriverOp op) const {
  switch (op) {
    case UXDriverOp::slot21: return false;
    case UXDriverOp::menuPopUp: return hasMenuPopUp();
    case UXDriverOp::textViewSetAll: return hasTextViewSetAll();
    case UXDriverOp::textViewUndo: return hasTextViewUndo();
    default: return op < UXDriverOp::count_;
  }
}

// The optional operations: a driver that leaves them out answers as if the
// menu were dismissed or the control unknown.
int32_t UXViewDriver::menuPopUp(uint32_t, const char* const*, const uint32_t*, int32_t, int32_t, int32_t) {
  return -1;
}
bool UXViewDriver::settingsChange(const char* section, const std::vector<UXSettingChange>& changes) {
  bool made = true;
  for (const UXSettingChange& change : changes) {
    if (!change.remove) {
      made = settingSet(section, change.key.c_str(), change.value.c_str()) && made;
      continue;
    }
    char probe[1];
    made = (settingRemove(section, change.key.c_str()) ||
            settingGet(section, change.key.c_str(), probe, sizeof probe) == 0) && made;
  }
  return made;
}

void UXViewDriver::textViewSetAll(uint32_t, int32_t, const char*, uint32_t, const uint32_t*, uint32_t) {}
int32_t UXViewDriver::textViewUndo(uint32_t, int32_t, uint8_t) { return 0; }

std::string uxCopySiblingName(uint32_t attempt) {
  const uint64_t clock = uint64_t(std::chrono::steady_clock::now().time_since_epoch().count()) >> 1;
  return ".quorl-copy-" + std::to_string(clock) + "-" + std::to_string(attempt);
}

}  // namespace quorl
