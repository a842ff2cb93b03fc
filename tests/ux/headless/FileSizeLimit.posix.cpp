// The file size limit through RLIMIT_FSIZE (FileSizeLimit.h).
#include "FileSizeLimit.h"

#include <signal.h>
#include <sys/resource.h>

#include <algorithm>

namespace quorl::test {

FileSizeLimit::FileSizeLimit(uint64_t bytes) {
  struct rlimit limit;
  if (bytes == 0 || ::getrlimit(RLIMIT_FSIZE, &limit) != 0) return;
  savedLimit_ = limit.rlim_cur;
  // A write past the limit would otherwise end the process; ignored, the
  // write fails with EFBIG as it would with ENOSPC on a full disk.
  savedSignal_ = ::signal(SIGXFSZ, SIG_IGN);
  limit.rlim_cur = std::min<rlim_t>(rlim_t(bytes), limit.rlim_max);
  held_ = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
  if (!held_) ::signal(SIGXFSZ, savedSignal_);
}

FileSizeLimit::~FileSizeLimit() {
  if (!held_) return;
  struct rlimit limit;
  if (::getrlimit(RLIMIT_FSIZE, &limit) == 0) {
    limit.rlim_cur = rlim_t(savedLimit_);
    ::setrlimit(RLIMIT_FSIZE, &limit);
  }
  ::signal(SIGXFSZ, savedSignal_);
}

}  // namespace quorl::test
