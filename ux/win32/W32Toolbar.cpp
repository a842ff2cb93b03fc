// Toolbars and segmented controls (W32Toolbar.h).
#include "ux/win32/W32Toolbar.h"

#include <cstring>

#include "foundation/Array.h"
#include "ux/controls/UXIcon.h"
#include "ux/controls/UXSegmentedControl.h"
#include "ux/controls/UXToolbar.h"
#include "ux/core/UXGraphics.h"
#include "ux/win32/UXGdiGraphics.h"
#include "ux/win32/W32ControlRules.h"
#include "ux/win32/W32Globals.h"
#include "ux/win32/W32Handles.h"
#include "ux/win32/W32Text.h"

namespace quorl {

namespace {
HIMAGELIST gW32TbImages = nullptr;  // owned for the life of the process

void begin(HWND control) {
  SendMessageW(control, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
  SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(gW32Font), TRUE);
}

// Renders one picture into a fresh bitmap and appends it to the list;
// answers its index, -1 on failure.
int32_t addPicture(HIMAGELIST list, const char* iconName, const UXImage* image) {
  W32WindowDC screen = W32WindowDC::screen();
  W32MemoryDC memory(screen.get());
  W32GdiObject bitmap(CreateCompatibleBitmap(screen.get(), 16, 16));
  if (!memory.get() || !bitmap) return -1;
  {
    W32Select keep(memory.get(), bitmap.get());
    w32DrawPicture(memory.get(), iconName, image);
  }
  return ImageList_Add(list, static_cast<HBITMAP>(bitmap.get()), nullptr);
}

void addSegments(HWND control, UXSegmentedControl& seg) {
  BYTE style = BYTE((seg.multipleSelection ? BTNS_CHECK : BTNS_CHECKGROUP) | BTNS_AUTOSIZE | BTNS_SHOWTEXT);
  uint32_t n = seg.segments ? seg.segments->count() : 0;
  for (uint32_t i = 0; i < n; ++i) {
    Ref<UXSegment> s = cast<UXSegment>(seg.segments->get(i));
    w32ToolbarAdd(control, int32_t(i), s ? s->title : "", style, seg.nativeSegSelected(int32_t(i)) != 0,
                  I_IMAGENONE);
  }
  SendMessageW(control, TB_AUTOSIZE, 0, 0);
}
}  // namespace

void w32ToolbarAdd(HWND control, int32_t commandId, const char* title, BYTE style, bool checked, int32_t image) {
  // The string list ends with two NULs.
  std::wstring text = w32Wide(w32ToolbarTitle(title));
  text.push_back(L'\0');
  LRESULT s = SendMessageW(control, TB_ADDSTRINGW, 0, reinterpret_cast<LPARAM>(text.c_str()));
  TBBUTTON button{};
  button.iBitmap = image;
  button.idCommand = commandId;
  button.fsState = BYTE(TBSTATE_ENABLED | (checked ? TBSTATE_CHECKED : 0));
  button.fsStyle = style;
  button.iString = INT_PTR(s);
  SendMessageW(control, TB_ADDBUTTONSW, 1, reinterpret_cast<LPARAM>(&button));
}

HIMAGELIST w32IconList() {
  if (gW32TbImages) return gW32TbImages;
  HIMAGELIST list = ImageList_Create(16, 16, ILC_COLOR32, 32, 8);
  if (!list) return nullptr;
  for (int32_t i = 0; i < UXIcon::kCount; ++i) addPicture(list, UXIcon::nameAt(i), nullptr);
  gW32TbImages = list;
  return list;
}

int32_t w32ItemImage(UXToolbar& toolbar, uint32_t index) {
  Ref<UXToolbarItem> item = toolbar.items && index < toolbar.items->count()
                                ? cast<UXToolbarItem>(toolbar.items->get(index))
                                : nullptr;
  if (!item) return I_IMAGENONE;
  if (item->image) {
    HIMAGELIST list = w32IconList();
    int32_t added = list ? addPicture(list, "", item->image.get()) : -1;
    return added < 0 ? I_IMAGENONE : added;
  }
  int32_t icon = UXIcon::indexOf(item->iconName);
  return icon < 0 ? I_IMAGENONE : icon;
}

void w32DrawPicture(HDC dc, const char* iconName, const UXImage* image) {
  RECT r{0, 0, 16, 16};
  {
    W32GdiObject grey(CreateSolidBrush(0xC0C0C0));
    FillRect(dc, &r, static_cast<HBRUSH>(grey.get()));
  }
  Ref<UXGdiGraphics> g = make<UXGdiGraphics>();
  g->bind(dc, 0, 0, 16, 16);
  if (image) image->drawIn(*g, UXRect(0, 0, int32_t(image->width), int32_t(image->height)), UXRect(0, 0, 16, 16), 255);
  else UXIcon::draw(*g, iconName ? iconName : "", 0, 0, 1);
}

HWND w32SegmentedCreate(const W32Realize& r) {
  auto* seg = dynamic_cast<UXSegmentedControl*>(r.peer.get());
  if (!seg) return nullptr;
  W32CreateArgs a = r.args(TOOLBARCLASSNAMEW, kW32ToolbarStyle);
  a.font = false;
  HWND control = w32CreateControl(a);
  if (!control) return nullptr;
  w32Route(control, r);
  begin(control);
  addSegments(control, *seg);
  return control;
}

void w32SegmentedSync(HWND control, const W32Realize& r, bool created) {
  auto* seg = dynamic_cast<UXSegmentedControl*>(r.peer.get());
  if (!seg || created) return;
  w32Move(control, r.x, r.y, r.w, r.h);
  uint32_t n = seg->segments ? seg->segments->count() : 0;
  if (SendMessageW(control, TB_BUTTONCOUNT, 0, 0) != LRESULT(n)) {
    while (SendMessageW(control, TB_BUTTONCOUNT, 0, 0) > 0)
      if (!SendMessageW(control, TB_DELETEBUTTON, 0, 0)) break;
    addSegments(control, *seg);
  }
  for (uint32_t i = 0; i < n; ++i) {
    BOOL on = seg->nativeSegSelected(int32_t(i)) ? TRUE : FALSE;
    if ((SendMessageW(control, TB_ISBUTTONCHECKED, i, 0) != 0) != (on != 0))
      SendMessageW(control, TB_CHECKBUTTON, i, MAKELPARAM(on, 0));
  }
}

HWND w32ToolbarCreate(const W32Realize& r) {
  auto* toolbar = dynamic_cast<UXToolbar*>(r.peer.get());
  if (!toolbar) return nullptr;
  W32CreateArgs a = r.args(TOOLBARCLASSNAMEW, kW32ToolbarStyle);
  a.font = false;
  HWND control = w32CreateControl(a);
  if (!control) return nullptr;
  w32Route(control, r);
  begin(control);
  SendMessageW(control, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(w32IconList()));
  uint32_t n = toolbar->items ? toolbar->items->count() : 0;
  for (uint32_t i = 0; i < n; ++i) {
    Ref<UXToolbarItem> item = cast<UXToolbarItem>(toolbar->items->get(i));
    if (!item) continue;
    if (item->itemKind == kUXToolbarButton) {
      w32ToolbarAdd(control, int32_t(item->tag), item->title, BYTE(BTNS_AUTOSIZE | BTNS_SHOWTEXT), false,
                    w32ItemImage(*toolbar, i));
    } else {
      TBBUTTON sep{};
      sep.iBitmap = kW32ToolbarSeparator;
      sep.fsState = TBSTATE_ENABLED;
      sep.fsStyle = BTNS_SEP;
      SendMessageW(control, TB_ADDBUTTONSW, 1, reinterpret_cast<LPARAM>(&sep));
    }
  }
  SendMessageW(control, TB_AUTOSIZE, 0, 0);
  return control;
}

void w32ToolbarSync(HWND control, const W32Realize& r, bool created) {
  if (!created && dynamic_cast<UXToolbar*>(r.peer.get())) w32Move(control, r.x, r.y, r.w, r.h);
}

}  // namespace quorl
