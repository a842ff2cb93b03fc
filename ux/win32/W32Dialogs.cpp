// The common dialogs: open, save, colour and font, each modal and owned by
// window 1 when it stands. Paths and face names cross as UTF-16, through the
// W entry points, so a name in any script survives the round trip; a chosen
// path that does not fit the caller's buffer whole is answered as a cancel,
// never cut.
//
// The file dialogs take no hook and no template: either would make Windows
// show its older dialog in place of the system's current one. Explorer-style
// dialogs without them can already be resized.
#include <windows.h>
#include <commdlg.h>
#include <ole2.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "foundation/String.h"
#include "ux/win32/UXWin32Driver.h"
#include "ux/win32/W32Globals.h"
#include "ux/win32/W32ServicePure.h"
#include "ux/win32/W32Text.h"

namespace quorl {

namespace {

HWND dialogOwner() { return w32IsLive(1) ? gW32Hwnds[1] : nullptr; }

// Copies UTF-8 into the buffer when it fits whole with its NUL.
bool copyWhole(const std::string& text, char* buffer, uint32_t capacity) {
  if (text.size() + 1 > capacity) return false;
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  return true;
}

// At most max bytes of the text, cut on a character boundary.
std::string cutUtf8(std::string text, size_t max) {
  text.resize(String::utf8Prefix(text.data(), text.size(), max));
  return text;
}

int32_t fileDialog(bool save, const char* title, const char* folder, const char* name, char* buffer,
                   uint32_t capacity) {
  if (!buffer || capacity < 1) return 0;
  buffer[0] = 0;
  static const wchar_t kFilter[] = L"All\0*.*\0";  // the literal adds the closing NUL
  // UTF-16 never needs more units than UTF-8 has bytes.
  std::vector<wchar_t> file(std::max<size_t>(capacity, MAX_PATH) + 1, L'\0');
  if (save && name && *name) {
    std::wstring proposed = w32Wide(cutUtf8(name, capacity - 1));
    std::copy(proposed.begin(), proposed.end(), file.begin());
  }
  std::wstring wideTitle = w32Wide(title), wideFolder = w32Wide(folder);
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = dialogOwner();
  ofn.lpstrFilter = kFilter;
  ofn.lpstrFile = file.data();
  ofn.nMaxFile = DWORD(file.size());
  ofn.lpstrInitialDir = folder && *folder ? wideFolder.c_str() : nullptr;
  ofn.lpstrTitle = title && *title ? wideTitle.c_str() : nullptr;
  ofn.Flags = w32FileDialogFlags(save);
  HRESULT ole = OleInitialize(nullptr);
  BOOL ok = save ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn);
  if (SUCCEEDED(ole)) OleUninitialize();
  if (!ok || !copyWhole(w32Utf8(file.data()), buffer, capacity)) {
    buffer[0] = 0;
    return 0;
  }
  return 1;
}

}  // namespace

bool UXWin32Driver::hasNativeFileOpen() { return true; }
int32_t UXWin32Driver::fileOpen(const char* title, const char* folder, char* buffer, uint32_t capacity) {
  return fileDialog(false, title, folder, nullptr, buffer, capacity);
}

bool UXWin32Driver::hasNativeNavigation() { return false; }
int32_t UXWin32Driver::navAttach(uint32_t) { return 0; }
int32_t UXWin32Driver::navPush(uint32_t, const char*) { return 0; }
int32_t UXWin32Driver::navPop(uint32_t) { return 0; }

bool UXWin32Driver::hasNativeFileSave() { return true; }
int32_t UXWin32Driver::fileSave(const char* title, const char* folder, const char* name, char* buffer,
                                uint32_t capacity) {
  return fileDialog(true, title, folder, name, buffer, capacity);
}

bool UXWin32Driver::hasNativeColorPicker() { return true; }
bool UXWin32Driver::pickColor(uint32_t r, uint32_t g, uint32_t b, uint32_t& outR, uint32_t& outG,
                              uint32_t& outB) {
  COLORREF custom[16];
  std::fill(custom, custom + 16, COLORREF(0xFFFFFF));  // fresh on every call
  CHOOSECOLORW cc{};
  cc.lStructSize = sizeof cc;
  cc.hwndOwner = dialogOwner();
  cc.rgbResult = RGB(r & 255, g & 255, b & 255);
  cc.lpCustColors = custom;
  cc.Flags = CC_RGBINIT | CC_FULLOPEN;
  if (!ChooseColorW(&cc)) return false;
  outR = GetRValue(cc.rgbResult);
  outG = GetGValue(cc.rgbResult);
  outB = GetBValue(cc.rgbResult);
  return true;
}

bool UXWin32Driver::hasNativeFontPicker() { return true; }
bool UXWin32Driver::pickFont(const char* face, int32_t size, uint8_t bold, uint8_t italic, char* outFace,
                             uint32_t capacity, int32_t& outSize, uint8_t& outBold, uint8_t& outItalic) {
  LOGFONTW lf{};
  lf.lfHeight = w32FontHeightOfPoints(size);
  lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
  lf.lfItalic = italic ? TRUE : FALSE;
  if (face) {
    std::wstring name = w32Wide(cutUtf8(face, 31));
    if (name.size() > 31) name.resize(31);
    std::copy(name.begin(), name.end(), lf.lfFaceName);
  }
  CHOOSEFONTW cf{};
  cf.lStructSize = sizeof cf;
  cf.hwndOwner = dialogOwner();
  cf.lpLogFont = &lf;
  cf.iPointSize = INT(std::clamp<int64_t>(int64_t(size) * 10, 0, 0x7FFFFFFF));
  cf.Flags = CF_SCREENFONTS | CF_INITTOLOGFONTSTRUCT | CF_NOVERTFONTS;
  if (!ChooseFontW(&cf)) return false;
  if (outFace && capacity > 0) {
    std::string chosen = cutUtf8(w32Utf8(lf.lfFaceName), std::min<size_t>(capacity - 1, 31));
    std::memcpy(outFace, chosen.c_str(), chosen.size() + 1);
  }
  outSize = w32PointsOfTenths(cf.iPointSize);
  outBold = lf.lfWeight >= 600 ? 1 : 0;
  outItalic = lf.lfItalic ? 1 : 0;
  return true;
}

}  // namespace quorl
