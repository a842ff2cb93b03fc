// Setting environment variables from tests (platform files implement it).
#pragma once

namespace quorl::test {

// value null removes the variable.
void setEnv(const char* name, const char* value);

}  // namespace quorl::test
