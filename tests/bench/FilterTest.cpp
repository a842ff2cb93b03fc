// Filter.matches: the six criteria, their order, and missing fields.
#include <gtest/gtest.h>

#include "BenchTestSupport.h"
#include "bench/Filter.h"

using namespace quorl;
using namespace quorl::benchtest;

namespace {

struct RunSpec {
  const char *cpu, *gpu, *suite, *device, *opt, *arch;
};
struct FilterSpec {
  const char *cpu, *gpu, *suite, *device, *opt, *arch;
  const char *pickedCpu = nullptr, *pickedGpu = nullptr;
};

bool matches(const FilterSpec& f, const RunSpec& r) {
  Filter filter;
  filter.cpu = S(f.cpu);
  filter.gpu = S(f.gpu);
  filter.suite = S(f.suite);
  filter.device = S(f.device);
  filter.opt = S(f.opt);
  filter.arch = S(f.arch);
  filter.pickedCpu = S(f.pickedCpu);
  filter.pickedGpu = S(f.pickedGpu);
  auto contribution = make<Contribution>();
  contribution->machine->cpu = S(r.cpu);
  contribution->machine->gpu = S(r.gpu);
  auto run = make<quorl::Run>();
  run->suite = S(r.suite);
  run->device = S(r.device);
  run->opt = S(r.opt);
  run->arch = S(r.arch);
  contribution->runs->add(run);
  return filter.matches(contribution, run);
}

constexpr RunSpec kFull = {"Test M2 Pro", "Radeon 780M", "langs", "serial", "O3", "x86_64"};
constexpr RunSpec kBare = {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
constexpr FilterSpec kNone = {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};

}  // namespace

TEST(FilterMatches, NewFilterPassesEverything) {
  EXPECT_TRUE(matches(kNone, kFull));
  EXPECT_TRUE(matches(kNone, kBare));
  EXPECT_TRUE(matches({"", "", "", "", "", ""}, kBare));
}

TEST(FilterMatches, Table) {
  struct Case {
    const char* name;
    FilterSpec filter;
    RunSpec run;
    bool expected;
  } cases[] = {
      // cpu: substring ignoring case; an empty criterion passes; a machine
      // without cpu fails any other.
      {"cpu part", {"m2", 0, 0, 0, 0, 0}, kFull, true},
      {"cpu other", {"m3", 0, 0, 0, 0, 0}, kFull, false},
      {"cpu missing", {"m2", 0, 0, 0, 0, 0}, kBare, false},
      {"cpu empty", {"", 0, 0, 0, 0, 0}, kBare, true},
      // cpu picked from the list: the whole text, ignoring case
      {"picked cpu whole", {0, 0, 0, 0, 0, 0, "test m2 PRO"}, kFull, true},
      {"picked cpu is no part", {0, 0, 0, 0, 0, 0, "m2"}, kFull, false},
      {"picked cpu is no prefix", {0, 0, 0, 0, 0, 0, "Apple M2 Pro #1"}, {"Apple M2 Pro #103", 0, 0, 0, 0, 0}, false},
      {"picked cpu missing", {0, 0, 0, 0, 0, 0, "Test M2 Pro"}, kBare, false},
      {"picked cpu empty", {0, 0, 0, 0, 0, 0, ""}, kBare, true},
      // gpu
      {"gpu part", {0, "RADEON", 0, 0, 0, 0}, kFull, true},
      {"gpu other", {0, "nvidia", 0, 0, 0, 0}, kFull, false},
      {"gpu missing", {0, "radeon", 0, 0, 0, 0}, kBare, false},
      {"gpu empty", {0, "", 0, 0, 0, 0}, kBare, true},
      {"picked gpu whole", {0, 0, 0, 0, 0, 0, nullptr, "RADEON 780m"}, kFull, true},
      {"picked gpu is no part", {0, 0, 0, 0, 0, 0, nullptr, "Radeon"}, kFull, false},
      // a picked text and a typed one are two criteria: each keeps its rule
      {"typed cpu stays a part beside a picked gpu", {"m2", 0, 0, 0, 0, 0, nullptr, "Radeon 780M"}, kFull, true},
      {"picked cpu stays whole beside a typed gpu", {0, "780", 0, 0, 0, 0, "Test M2"}, kFull, false},
      {"typed and picked cpu both apply", {"m3", 0, 0, 0, 0, 0, "Test M2 Pro"}, kFull, false},
      {"picked gpu empty", {0, 0, 0, 0, 0, 0, nullptr, ""}, kBare, true},
      // suite, opt, arch: equal ignoring case, a run without the field passes
      {"suite LANGS", {0, 0, "LANGS", 0, 0, 0}, kFull, true},
      {"suite other", {0, 0, "par", 0, 0, 0}, kFull, false},
      {"suite prefix is not equal", {0, 0, "lang", 0, 0, 0}, kFull, false},
      {"suite missing on run", {0, 0, "par", 0, 0, 0}, kBare, true},
      {"opt o3", {0, 0, 0, 0, "o3", 0}, kFull, true},
      {"opt other", {0, 0, 0, 0, "O2", 0}, kFull, false},
      {"opt missing on run", {0, 0, 0, 0, "O2", 0}, kBare, true},
      {"arch X86_64", {0, 0, 0, 0, 0, "X86_64"}, kFull, true},
      {"arch other", {0, 0, 0, 0, 0, "arm64"}, kFull, false},
      {"arch missing on run", {0, 0, 0, 0, 0, "arm64"}, kBare, true},
      {"empty run field equals only empty", {0, 0, "langs", 0, 0, 0}, {0, 0, "", 0, 0, 0}, false},
      // device
      {"one thread -> serial", {0, 0, 0, "one thread", 0, 0}, kFull, true},
      {"one thread, SERIAL run", {0, 0, 0, "one thread", 0, 0}, {0, 0, 0, "SERIAL", 0, 0}, true},
      {"one thread, no device", {0, 0, 0, "one thread", 0, 0}, kBare, false},
      {"code itself", {0, 0, 0, "serial", 0, 0}, kFull, true},
      {"all threads", {0, 0, 0, "All Threads", 0, 0}, {0, 0, 0, "cpu", 0, 0}, true},
      {"all threads vs gpu", {0, 0, 0, "all threads", 0, 0}, {0, 0, 0, "gpu", 0, 0}, false},
      {"label GPU", {0, 0, 0, "GPU", 0, 0}, {0, 0, 0, "Gpu", 0, 0}, true},
      {"label Vulkan", {0, 0, 0, "Vulkan", 0, 0}, {0, 0, 0, "vulkan", 0, 0}, true},
      {"auto passes AUTO", {0, 0, 0, "auto", 0, 0}, {0, 0, 0, "AUTO", 0, 0}, true},
      {"auto fails cpu", {0, 0, 0, "auto", 0, 0}, {0, 0, 0, "cpu", 0, 0}, false},
      {"GPU only: vulkan", {0, 0, 0, "GPU only", 0, 0}, {0, 0, 0, "vulkan", 0, 0}, true},
      {"GPU only: gpu", {0, 0, 0, "gpu ONLY", 0, 0}, {0, 0, 0, "gpu", 0, 0}, true},
      {"GPU only: cpu", {0, 0, 0, "GPU only", 0, 0}, {0, 0, 0, "cpu", 0, 0}, false},
      {"GPU only: GPU in capitals is not a GPU run", {0, 0, 0, "GPU only", 0, 0}, {0, 0, 0, "GPU", 0, 0}, false},
      {"GPU only: no device", {0, 0, 0, "GPU only", 0, 0}, kBare, false},
      {"CPU only: no device", {0, 0, 0, "CPU only", 0, 0}, kBare, true},
      {"CPU only: gpu", {0, 0, 0, "cpu only", 0, 0}, {0, 0, 0, "gpu", 0, 0}, false},
      {"CPU only: serial", {0, 0, 0, "CPU only", 0, 0}, kFull, true},
      // order: an earlier failing test decides
      {"cpu fails before GPU only", {"m9", 0, 0, "GPU only", 0, 0}, {"m2", 0, 0, "gpu", 0, 0}, false},
      {"all criteria pass", {"M2", "780", "langs", "one thread", "O3", "x86_64"}, kFull, true},
      {"all but arch", {"M2", "780", "langs", "one thread", "O3", "arm64"}, kFull, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(matches(c.filter, c.run), c.expected);
  }
}
