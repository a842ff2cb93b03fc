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
#include <cstdlib>
#include <string>

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

}  // namespace
