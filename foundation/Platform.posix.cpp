#include <signal.h>

#include <cstdlib>

#include "Platform.h"
#include "String.h"

namespace quorl {

void Platform::prepareProcess() {
  ::signal(SIGXFSZ, SIG_IGN);
  ::signal(SIGPIPE, SIG_IGN);
}

std::vector<std::string> Platform::arguments(int argc, const char* const* argv) {
  std::vector<std::string> arguments;
  for (int i = 0; i < argc && argv && argv[i]; ++i) arguments.emplace_back(argv[i]);
  return arguments;
}

Ref<String> Platform::_rawEnv(const char* name) {
  const char* value = std::getenv(name);
  if (!value) return nullptr;
  return String::withCString(value);
}

}  // namespace quorl
