// The native build's platform driver: the headless driver.
#include "ux/core/UXHeadlessDriver.h"

namespace quorl {

Ref<UXViewDriver> uxMakePlatformDriver() { return make<UXHeadlessDriver>(); }

}  // namespace quorl
