// The driver's handle owners under Wine, read back through the handles
// themselves: what an owner frees, when, and what it hands on.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "ux/win32/W32Handles.h"

namespace quorl {
namespace {

// A section is kept only with its pixel memory; one whose memory did not
// come back is deleted, not kept and not dropped unfreed.
TEST(W32DibTest, KeepsASectionOnlyWithItsPixels) {
  struct Case {
    int32_t w, h;
    bool made;
  } cases[] = {{3, 2, true}, {0, 4, false}, {4, 0, false}, {-2, 2, false}, {2, -2, false}};
  for (const Case& c : cases) {
    W32Dib dib(c.w, c.h);
    EXPECT_EQ(bool(dib), c.made) << c.w << "x" << c.h;
    EXPECT_EQ(GetObjectType(dib.get()), c.made ? DWORD(OBJ_BITMAP) : 0u);
    if (c.made) {
      dib.bits()[size_t(c.w) * size_t(c.h) - 1] = 0xFF123456u;  // the last pixel is writable
      BITMAP info{};
      ASSERT_EQ(GetObject(dib.get(), sizeof info, &info), int(sizeof info));
      EXPECT_EQ(info.bmWidth, c.w);
      EXPECT_EQ(info.bmBitsPixel, 32);
    }
  }
  HBITMAP orphan = CreateBitmap(2, 2, 1, 32, nullptr);
  ASSERT_EQ(GetObjectType(orphan), DWORD(OBJ_BITMAP));
  {
    W32Dib dib(orphan, nullptr);  // a section that came back without pixels
    EXPECT_FALSE(dib);
    EXPECT_EQ(dib.get(), nullptr);
  }
  EXPECT_EQ(GetObjectType(orphan), 0u) << "deleted, not leaked";
}

HWND plainWindow() {
  return CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, GetModuleHandleW(nullptr),
                         nullptr);
}

// One rule per step of an owner's life, on windows whose life can be seen.
TEST(W32UniqueTest, OwnsOneHandleAtATime) {
  HWND first = plainWindow(), second = plainWindow();
  ASSERT_TRUE(first && second);
  W32Window a(first);
  W32Window b(std::move(a));
  EXPECT_FALSE(a);
  EXPECT_EQ(b.get(), first);
  EXPECT_TRUE(IsWindow(first)) << "a move frees nothing";
  b.reset(second);
  EXPECT_FALSE(IsWindow(first)) << "reset frees the handle it held";
  EXPECT_EQ(b.get(), second);
  a = std::move(b);
  EXPECT_TRUE(IsWindow(second));
  HWND handedOn = a.release();
  EXPECT_FALSE(a);
  a.reset();
  EXPECT_TRUE(IsWindow(handedOn)) << "a released handle is the caller's";
  {
    W32Window last(handedOn);
    DestroyWindow(handedOn);  // gone before its owner: left alone
  }
  EXPECT_FALSE(IsWindow(handedOn));
}

// INVALID_HANDLE_VALUE is a file owner's "none"; an open file is closed when
// its owner goes, so a file opened without sharing opens again after.
TEST(W32UniqueTest, FilesCloseWithTheirOwner) {
  wchar_t folder[MAX_PATH] = {}, path[MAX_PATH] = {};
  ASSERT_TRUE(GetTempPathW(MAX_PATH, folder));
  ASSERT_TRUE(GetTempFileNameW(folder, L"own", 0, path));
  auto open = [&] {
    return W32File(CreateFileW(path, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  };
  {
    W32File file = open();
    ASSERT_TRUE(file);
    EXPECT_FALSE(open()) << "held without sharing";
  }
  EXPECT_TRUE(open()) << "closed when its owner went";
  EXPECT_TRUE(DeleteFileW(path));
  W32File missing = open();
  EXPECT_FALSE(missing);
  EXPECT_EQ(missing.get(), INVALID_HANDLE_VALUE);
}

}  // namespace
}  // namespace quorl
