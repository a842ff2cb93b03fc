#include <windows.h>

#include <string>

#include "PlatformTestEnv.h"
#include "foundation/WideText.h"

namespace quorl {

void setTestEnv(const char* name, const char* value) {
  SetEnvironmentVariableW(WideText::wide(name).c_str(), WideText::wide(value).c_str());
}
void unsetTestEnv(const char* name) { SetEnvironmentVariableW(WideText::wide(name).c_str(), nullptr); }

}  // namespace quorl
