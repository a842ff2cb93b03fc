// Download speed of the networking layer against curl's command line, both
// fetching the same 50 MB corpus from the local test server
// (tools/bench_server.py on 127.0.0.1) in the same run:
//
//   NetGet/http    Net::get of http://127.0.0.1:PORT/benchmarks/corpus.php
//   NetGet/https   the same over TLS, with the test CA (tools/make_test_certs.sh)
//   NetHostileHead/<attack>  a reply whose head is an attack (below), fetched
//                  by a fresh process of ours and by curl, one after the other
//
// Each iteration downloads the corpus once with Net::get and once with
// `curl -s -o /dev/null` (for https with --cacert), alternating, so both see
// the same machine state. Counters: quorl_MBps and curl_MBps (megabytes of
// corpus a second, 10^6 bytes) and ratio (quorl speed / curl speed, above 1
// when quorl is faster). curl's times include starting the process, which
// is its normal use from the command line.
//
// NetHostileHead: each attack is fetched once an iteration by this
// executable started again as `--net-child URL` (Net::get, its error text
// on stdout) and by `curl -s -o /dev/null`, each process timed from its
// start to its end, its peak resident size taken from wait4. Each is
// started through a fresh, small launcher (`--measure COMMAND...`): Linux
// counts into a child's peak the memory of the process that spawned it,
// which here would be this benchmark's own. Counters:
// quorl_s, curl_s, ratio (curl's time over ours), quorl_peak_MB,
// curl_peak_MB, head_MB (the attack's head) and refused (1 when ours ended
// with the head cap's words). The attacks:
//   empty-lines  10 million LF-only lines (10 MB)
//   repeated     400,000 "A: b" fields (2.4 MB)
//   long-line    one field of 10 MB
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "ServerProcess.posix.h"
#include "net/HttpTls.h"
#include "net/Net.h"

using namespace quorl;

namespace {

constexpr uint32_t kCorpusBytes = 50u * 1024 * 1024;

// The source tree, for tools/: the build's definition when there is one,
// else this file's own place in the tree.
std::string sourceDir() {
#ifdef QUORL_SOURCE_DIR
  return QUORL_SOURCE_DIR;
#else
  const std::string file = __FILE__;
  const size_t cut = file.rfind("/perf/");
  return cut == std::string::npos ? "." : file.substr(0, cut);
#endif
}


struct Server {
  test::ServerProcess process{sourceDir(),
                              "quorl-perf",
                              {"--corpus-bytes", std::to_string(kCorpusBytes), "--lifetime", "1800", "--cert",
                               "{certs}/server.pem", "--key", "{certs}/server.key"}};
  std::string http = process.url("http"), https = process.url("https"), ca = process.certs() + "/ca.pem";
  const std::string& error = process.error;

  static Server& shared() {
    static Server server;
    return server;
  }
};

double seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

void download(benchmark::State& state, bool secure) {
  Server& server = Server::shared();
  if (!server.error.empty()) {
    state.SkipWithError(server.error.c_str());
    return;
  }
  const std::string base = secure ? server.https : server.http;
  const std::string url = base + "/benchmarks/corpus.php";
  if (secure) {
    HttpTls::_systemBundles() = {server.ca};
    if (!Net::installTls()) {
      state.SkipWithError("no TLS layer for the test CA");
      return;
    }
  }
  std::string curl = "curl -s -o /dev/null --fail ";
  if (secure) curl += "--cacert '" + server.ca + "' ";
  curl += "'" + url + "'";

  double ours = 0, theirs = 0;
  uint64_t bytes = 0;
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    Ref<String> body = Net::get(make<String>(std::string_view(url)));
    const double t = seconds(start);
    if (!body || body->byteLength() < kCorpusBytes) {
      state.SkipWithError(("Net::get failed: " + std::string(Net::lastError()->cString())).c_str());
      return;
    }
    bytes += body->byteLength();
    body = nullptr;
    state.SetIterationTime(t);
    ours += t;

    start = std::chrono::steady_clock::now();
    if (std::system(curl.c_str()) != 0) {
      state.SkipWithError("curl failed");
      return;
    }
    theirs += seconds(start);
  }
  const double mb = static_cast<double>(bytes) / 1e6;
  state.SetBytesProcessed(static_cast<int64_t>(bytes));
  state.counters["quorl_MBps"] = mb / ours;
  state.counters["curl_MBps"] = mb / theirs;
  state.counters["ratio"] = theirs / ours;
}

void NetGetHttp(benchmark::State& state) { download(state, false); }
void NetGetHttps(benchmark::State& state) { download(state, true); }

BENCHMARK(NetGetHttp)->Name("NetGet/http")->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(8);
BENCHMARK(NetGetHttps)->Name("NetGet/https")->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(8);

struct Finished {
  double seconds = 0;
  double peakBytes = 0;
  std::string out;  // the first line the process printed
  bool ran = false;
};

// Spawns the command with its standard output into `out` (or inherited
// when -1) and its errors dropped; waits for it; its time and peak.
Finished spawnAndWait(std::vector<std::string> args, int out) {
  Finished f;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (out >= 0) posix_spawn_file_actions_adddup2(&actions, out, 1);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  const auto start = std::chrono::steady_clock::now();
  const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (out >= 0) close(out);
  if (rc != 0) return f;
  int status = 0;
  struct rusage usage {};
  if (wait4(pid, &status, 0, &usage) != pid) return f;
  f.seconds = seconds(start);
  f.peakBytes = static_cast<double>(usage.ru_maxrss) * 1024.0;
  f.ran = true;
  return f;
}

// The command through the launcher: its first line of output, and the
// launcher's last line, "peak-bytes seconds".
Finished measure(const std::string& self, std::vector<std::string> command) {
  Finished f;
  command.insert(command.begin(), {self, "--measure"});
  int out[2];
  if (pipe(out) != 0) return f;
  FILE* reading = fdopen(out[0], "r");
  Finished launcher = spawnAndWait(std::move(command), out[1]);
  std::string first, last;
  char line[4096];
  while (reading && std::fgets(line, sizeof line, reading)) {
    if (first.empty()) first = line;
    last = line;
  }
  if (reading) std::fclose(reading);
  f.ran = launcher.ran && std::sscanf(last.c_str(), "%lf %lf", &f.peakBytes, &f.seconds) == 2;
  f.out = first.substr(0, first.find('\n'));
  return f;
}

struct Attack {
  const char* name;
  const char* kind;
  uint32_t headBytes;
};
const Attack kAttacks[] = {
    {"empty-lines", "empty", 10'000'000},
    {"repeated", "repeat", 2'400'000},
    {"long-line", "long", 10'000'000},
};

// Arg: the attack (kAttacks).
void NetHostileHead(benchmark::State& state) {
  Server& server = Server::shared();
  if (!server.error.empty()) {
    state.SkipWithError(server.error.c_str());
    return;
  }
  const Attack& attack = kAttacks[state.range(0)];
  const std::string url =
      server.http + "/head?kind=" + attack.kind + "&bytes=" + std::to_string(attack.headBytes);
  char self[4096] = {};
  if (readlink("/proc/self/exe", self, sizeof self - 1) <= 0) {
    state.SkipWithError("no /proc/self/exe");
    return;
  }
  Finished ours, curl;
  for (auto _ : state) {
    ours = measure(self, {self, "--net-child", url});
    curl = measure(self, {"curl", "-s", "-o", "/dev/null", url});
    if (!ours.ran || !curl.ran) {
      state.SkipWithError("a process did not run");
      return;
    }
    state.SetIterationTime(ours.seconds);
  }
  state.SetLabel(attack.name + (": " + ours.out));
  state.counters["head_MB"] = attack.headBytes / 1e6;
  state.counters["quorl_s"] = ours.seconds;
  state.counters["curl_s"] = curl.seconds;
  state.counters["ratio"] = curl.seconds / ours.seconds;
  state.counters["quorl_peak_MB"] = ours.peakBytes / 1e6;
  state.counters["curl_peak_MB"] = curl.peakBytes / 1e6;
  state.counters["refused"] = ours.out.rfind("response headers larger than", 0) == 0;
}
BENCHMARK(NetHostileHead)->DenseRange(0, 2)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

// The processes of NetHostileHead: `--net-child URL` prints "ok" or the
// error text of Net::get of the URL; `--measure COMMAND...` runs the
// command and prints "peak-bytes seconds" after its output. Answers -1 when
// the command line is neither.
int netChildMain(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--net-child") == 0) {
    Ref<String> body = Net::get(String::withCString(argv[2]));
    std::printf("%s\n", body ? "ok" : Net::lastError()->cString());
    return 0;
  }
  if (argc < 3 || std::strcmp(argv[1], "--measure") != 0) return -1;
  std::fflush(stdout);
  Finished f = spawnAndWait(std::vector<std::string>(argv + 2, argv + argc), -1);
  if (!f.ran) return 1;
  std::printf("%.0f %.6f\n", f.peakBytes, f.seconds);
  return 0;
}
