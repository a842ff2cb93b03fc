// The native build's platform driver: the headless driver.
#include "ux/headless/UXHeadlessDriver.h"

namespace quorl {

Ref<UXViewDriver> uxMakePlatformDriver() { return make<UXHeadlessDriver>(); }

}  // namespace quorl
