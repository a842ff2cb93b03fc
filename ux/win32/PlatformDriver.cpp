// The Windows build's platform driver.
#include "ux/win32/UXWin32Driver.h"

namespace quorl {

Ref<UXViewDriver> uxMakePlatformDriver() { return make<UXWin32Driver>(); }

}  // namespace quorl
