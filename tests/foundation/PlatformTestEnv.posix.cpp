#include <cstdlib>

#include "PlatformTestEnv.h"

namespace quorl {

void setTestEnv(const char* name, const char* value) { setenv(name, value, 1); }
void unsetTestEnv(const char* name) { unsetenv(name); }

}  // namespace quorl
