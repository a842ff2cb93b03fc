// The native build's factory makes the headless driver (the Windows build's
// makes the Win32 driver: tests/ux/win32).
#include <gtest/gtest.h>

#include "ux/headless/UXHeadlessDriver.h"

namespace quorl {
namespace {

TEST(PlatformDriverTest, NativeFactoryMakesTheHeadlessDriver) {
  Ref<UXViewDriver> driver = uxMakePlatformDriver();
  ASSERT_NE(driver, nullptr);
  EXPECT_TRUE(isA<UXHeadlessDriver>(driver));
}

}  // namespace
}  // namespace quorl
