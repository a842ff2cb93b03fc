// quorl: the benchmark visualiser. "quorl [FILE]" opens the window (with
// FILE loaded); "quorl --selftest FILE" runs the checks and exits 0, 1, 2 or 3.
#include <string>
#include <vector>

#include "app/Controller.h"
#include "foundation/Platform.h"

int main(int argc, char** argv) {
  quorl::Platform::prepareProcess();
  // UTF-8 from here on, whatever the system's code page.
  const std::vector<std::string> arguments = quorl::Platform::arguments(argc, argv);
  std::vector<const char*> pointers;
  for (const std::string& a : arguments) pointers.push_back(a.c_str());
  pointers.push_back(nullptr);
  return quorl::quorlMain(int(arguments.size()), pointers.data());
}
