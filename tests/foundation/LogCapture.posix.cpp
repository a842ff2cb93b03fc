#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "LogCapture.h"

namespace quorl {

// Through a temporary file rather than a pipe, so that output of any size
// cannot block the writer.
std::string captureStdout(const std::function<void()>& body) {
  std::fflush(stdout);
  std::FILE* sink = std::tmpfile();
  if (!sink) return "<no temporary file>";
  const int saved = dup(STDOUT_FILENO);
  dup2(fileno(sink), STDOUT_FILENO);
  body();
  std::fflush(stdout);
  dup2(saved, STDOUT_FILENO);
  close(saved);
  std::string out;
  std::rewind(sink);
  char buffer[512];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, sink)) > 0;) out.append(buffer, n);
  std::fclose(sink);
  return out;
}

}  // namespace quorl
