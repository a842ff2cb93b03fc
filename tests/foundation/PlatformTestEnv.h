// Sets and clears environment variables for the Platform tests, through the
// platform's own calls (PlatformTestEnv.posix.cpp / .win32.cpp). Names and
// values are UTF-8.
#pragma once

namespace quorl {

void setTestEnv(const char* name, const char* value);
void unsetTestEnv(const char* name);

}  // namespace quorl
