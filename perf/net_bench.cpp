// Download speed of the networking layer against curl's command line, both
// fetching the same 50 MB corpus from the local test server
// (tools/bench_server.py on 127.0.0.1) in the same run:
//
//   NetGet/http    Net::get of http://127.0.0.1:PORT/benchmarks/corpus.php
//   NetGet/https   the same over TLS, with the test CA (tools/make_test_certs.sh)
//
// Each iteration downloads the corpus once with Net::get and once with
// `curl -s -o /dev/null` (for https with --cacert), alternating, so both see
// the same machine state. Counters: quorl_MBps and curl_MBps (megabytes of
// corpus a second, 10^6 bytes) and ratio (quorl speed / curl speed, above 1
// when quorl is faster). curl's times include starting the process, which
// is its normal use from the command line.
#include <benchmark/benchmark.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "net/HttpTls.h"
#include "net/Net.h"

extern char** environ;

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
  pid_t pid = -1;
  int input = -1;
  std::string dir, http, https, ca, error;

  Server() {
    char templ[] = "/tmp/quorl-perf-XXXXXX";
    if (!mkdtemp(templ)) {
      error = "no temporary folder";
      return;
    }
    dir = templ;
    const std::string tools = sourceDir() + "/tools/";
    if (std::system(("bash '" + tools + "make_test_certs.sh' '" + dir + "'").c_str()) != 0) {
      error = "make_test_certs.sh failed";
      return;
    }
    int toServer[2], fromServer[2];
    if (pipe(toServer) != 0 || pipe(fromServer) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, toServer[0], 0);
    posix_spawn_file_actions_adddup2(&actions, fromServer[1], 1);
    posix_spawn_file_actions_addclose(&actions, toServer[1]);
    posix_spawn_file_actions_addclose(&actions, fromServer[0]);
    const std::string script = tools + "bench_server.py", size = std::to_string(kCorpusBytes);
    const std::string cert = dir + "/server.pem", key = dir + "/server.key";
    const char* argv[] = {"python3", script.c_str(), "--corpus-bytes", size.c_str(), "--lifetime", "1800",
                          "--cert", cert.c_str(), "--key", key.c_str(), nullptr};
    int rc = posix_spawnp(&pid, "python3", &actions, nullptr, const_cast<char**>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(toServer[0]);
    close(fromServer[1]);
    input = toServer[1];
    if (rc != 0) {
      pid = -1;
      error = "python3 would not start";
      return;
    }
    FILE* out = fdopen(fromServer[0], "r");
    char line[256];
    while (out && std::fgets(line, sizeof line, out)) {
      char name[32];
      unsigned port = 0;
      if (std::strncmp(line, "ready", 5) == 0) break;
      if (std::sscanf(line, "%31s %u", name, &port) != 2) continue;
      if (std::strcmp(name, "http") == 0) http = "http://127.0.0.1:" + std::to_string(port);
      if (std::strcmp(name, "https") == 0) https = "https://localhost:" + std::to_string(port);
    }
    if (out) std::fclose(out);
    ca = dir + "/ca.pem";
    if (http.empty()) error = "bench_server.py did not start";
  }

  ~Server() {
    if (input >= 0) close(input);
    if (pid > 0) {
      kill(pid, SIGTERM);
      waitpid(pid, nullptr, 0);
    }
    if (!dir.empty()) std::system(("rm -rf '" + dir + "'").c_str());
  }

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

}  // namespace
