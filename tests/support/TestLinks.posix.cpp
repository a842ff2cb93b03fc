#include "TestLinks.h"

#include <system_error>

namespace quorl::test {

std::string makeLink(const std::filesystem::path& target, const std::filesystem::path& link) {
  std::error_code ec;
  std::filesystem::create_symlink(target, link, ec);
  return ec ? ec.message() : "";
}

bool removeLink(const std::filesystem::path& link) {
  std::error_code ec;
  return std::filesystem::remove(link, ec);
}

}  // namespace quorl::test
