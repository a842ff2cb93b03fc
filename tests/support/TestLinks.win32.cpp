// Under Wine a link is the host's: std::filesystem makes none, and
// CreateSymbolicLinkW answers success without making one.
#include "TestLinks.h"

#include <system_error>

#include "WineHost.h"

namespace quorl::test {

namespace {

std::string utf8(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

// The host's name for a path: its folder's, then the leaf.
std::wstring hostPath(const std::filesystem::path& path) {
  const std::wstring folder = hostName(utf8(path.parent_path()));
  return folder.empty() ? folder : folder + L"/" + path.filename().wstring();
}

}  // namespace

std::string makeLink(const std::filesystem::path& target, const std::filesystem::path& link) {
  const std::wstring from = hostPath(link), to = hostPath(target);
  if (from.empty() || to.empty()) return "no links are made here: Wine's host makes them, and this is not Wine";
  // The host makes one, but Wine neither lists it nor opens it: nothing
  // would be there to act on (and nothing to wait for).
  std::error_code ec;
  if (!std::filesystem::exists(target, ec)) return "Wine shows no link that leads nowhere";
  if (!onHost(L"ln", L"-s \"" + to + L"\" \"" + from + L"\"", utf8(link.parent_path()), utf8(link.filename()), true))
    return "the host's ln made no link";
  return "";
}

bool removeLink(const std::filesystem::path& link) {
  return onHost(L"rm", utf8(link.parent_path()), utf8(link.filename()), false);
}

}  // namespace quorl::test
