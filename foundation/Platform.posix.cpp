#include <cstdlib>

#include "Platform.h"
#include "String.h"

namespace quorl {

Ref<String> Platform::_rawEnv(const char* name) {
  const char* value = std::getenv(name);
  if (!value) return nullptr;
  return String::withCString(value);
}

}  // namespace quorl
