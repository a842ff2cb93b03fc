// A stand-in Windows program for the test of tools/wine-run, which tells
// programs apart by their names: copied under a test executable's name and
// another, it shows how often the script starts each and what it reports.
//   WineRunStandIn COUNT_FILE STATUS [--mark | TEXT]
// Adds a line to COUNT_FILE on every run, then writes the start mark (as
// every test executable does first), or prints TEXT, or stays silent, and
// exits with STATUS.
#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  if (std::FILE* f = std::fopen(argv[1], "a")) {
    std::fputs("run\n", f);
    std::fclose(f);
  }
  if (argc > 3 && std::strcmp(argv[3], "--mark") == 0) {
    if (const char* mark = std::getenv("QUORL_STARTED_MARK"); mark && *mark)
      if (std::FILE* f = std::fopen(mark, "w")) std::fclose(f);
  } else if (argc > 3) {
    std::printf("%s\n", argv[3]);
  }
  return std::atoi(argv[2]);
}
