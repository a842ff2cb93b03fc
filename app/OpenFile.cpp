#include "app/OpenFile.h"

#include <vector>

#include "ux/core/UXApplication.h"
#include "ux/core/UXViewDriver.h"

namespace quorl {

Ref<String> appChooseFile(const char* title, const char* directory) {
  if (!gDriver || !gDriver->hasNativeFileOpen()) return nullptr;
  std::vector<char> buffer(4096, 0);
  if (gDriver->fileOpen(title, directory, buffer.data(), uint32_t(buffer.size())) == 0) return nullptr;
  buffer.back() = 0;
  if (buffer[0] == 0) return nullptr;
  return String::withCString(buffer.data());
}

}  // namespace quorl
