// The Windows build's platform driver. Until the Win32 driver exists the
// headless driver stands in; the Win32 driver replaces this definition.
#include "ux/headless/UXHeadlessDriver.h"

namespace quorl {

Ref<UXViewDriver> uxMakePlatformDriver() { return make<UXHeadlessDriver>(); }

}  // namespace quorl
