// Captures what a piece of code writes to standard output, for the logging
// tests. LogCapture.posix.cpp / LogCapture.win32.cpp redirect the platform's
// standard output (file descriptor 1 / the standard output handle).
#pragma once

#include <functional>
#include <string>

namespace quorl {

std::string captureStdout(const std::function<void()>& body);

}  // namespace quorl
