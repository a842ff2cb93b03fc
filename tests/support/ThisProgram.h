// Running this test executable again as a child process, natively and under
// Wine: for tests of what must differ between two processes.
#pragma once

#include <string>

namespace quorl::test {

// Runs this executable with only the tests of `filter` (GoogleTest's
// pattern) and the environment variable `name` set to `value` for the child
// alone, waits for it to end (two minutes at most) and answers what it
// wrote to standard output; "" when it could not be started.
std::string runThisProgram(const std::string& filter, const std::string& name, const std::string& value);

}  // namespace quorl::test
