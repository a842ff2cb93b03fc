// No file size limit on Windows (FileSizeLimit.h): a process's files have
// none, and Wine does not fail reads of a locked range of a file either, so
// nothing here makes a copy fail midway.
#include "FileSizeLimit.h"

namespace quorl::test {

FileSizeLimit::FileSizeLimit(uint64_t) {}
FileSizeLimit::~FileSizeLimit() {}

}  // namespace quorl::test
