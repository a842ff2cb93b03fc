#include "ux/core/UXSiblingCopy.h"

#include <vector>

namespace quorl {

namespace {

constexpr uint32_t kSiblingAttempts = 16;
constexpr uint32_t kChunk = 65536;

UXFileFailure copyBytes(UXSiblingCopy& copy) {
  std::vector<char> chunk(kChunk);
  for (uint64_t written = 0;;) {
    uint32_t got = 0;
    if (UXFileFailure why = copy.read(chunk.data(), kChunk, got); why != UXFileFailure::none) return why;
    if (got == 0) return UXFileFailure::none;
    if (gUXSiblingWriteFault)
      if (UXFileFailure why = gUXSiblingWriteFault(written, got); why != UXFileFailure::none) return why;
    if (UXFileFailure why = copy.write(chunk.data(), got); why != UXFileFailure::none) return why;
    written += got;
  }
}

}  // namespace

std::function<void(const std::string& sibling)> gUXBeforeSiblingCreate;
std::function<void(const std::string& sibling)> gUXBeforeSiblingPlace;
std::function<void(const std::string& source)> gUXBeforeMoveDelete;
std::function<UXFileFailure(uint64_t written, uint32_t count)> gUXSiblingWriteFault;

std::string uxSiblingFolder(std::string_view target, bool windows) {
  const size_t cut = target.find_last_of(windows ? "\\/" : "/");
  if (cut != std::string_view::npos) return std::string(target.substr(0, cut + 1));
  if (windows && target.size() >= 2 && target[1] == ':') return std::string(target.substr(0, 2));
  return {};
}

UXFileFailure uxCopyThroughSibling(UXSiblingCopy& copy, const std::string& folder, bool replace) {
  for (uint32_t attempt = 0; attempt < kSiblingAttempts; ++attempt) {
    const std::string sibling = folder + uxCopySiblingName(attempt);
    if (gUXBeforeSiblingCreate) gUXBeforeSiblingCreate(sibling);
    UXFileFailure why = copy.create(sibling);
    if (why == UXFileFailure::exists) continue;  // another copy's sibling: the next name
    if (why != UXFileFailure::none) return why;
    why = copyBytes(copy);
    if (why == UXFileFailure::none) why = copy.finish();
    if (why == UXFileFailure::none) {
      if (gUXBeforeSiblingPlace) gUXBeforeSiblingPlace(sibling);
      why = copy.place(sibling, replace);
    }
    if (why != UXFileFailure::none) copy.remove(sibling);
    return why;
  }
  return UXFileFailure::unknown;
}

}  // namespace quorl
