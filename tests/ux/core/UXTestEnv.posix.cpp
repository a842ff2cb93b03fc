#include <cstdlib>

#include "UXTestEnv.h"

namespace quorl::test {

void setEnv(const char* name, const char* value) {
  if (value) setenv(name, value, 1);
  else unsetenv(name);
}

}  // namespace quorl::test
