// Starts tools/bench_server.py on 127.0.0.1 for the native tests and
// benchmarks: certificates from tools/make_test_certs.sh, made once for the
// whole test process in a temporary folder of their own (removed at exit),
// the server on stdin/stdout pipes, its ports read from the lines it prints
// until "ready". The server stops when its stdin closes; the destructor also
// signals it, waits for it and removes its folder.
#pragma once

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace quorl::test {

// The certificates, made on first use; `error` says why there are none.
struct ServerCertificates {
  std::string dir, error;
  explicit ServerCertificates(const std::string& sourceDir) {
    std::string templ = "/tmp/quorl-certs-XXXXXX";
    if (!mkdtemp(templ.data())) {
      error = "no temporary folder";
      return;
    }
    dir = templ;
    if (std::system(("bash '" + sourceDir + "/tools/make_test_certs.sh' '" + dir + "'").c_str()) != 0)
      error = "make_test_certs.sh failed (is openssl installed?)";
  }
  ~ServerCertificates() {
    if (!dir.empty()) std::system(("rm -rf '" + dir + "'").c_str());
  }
  static const ServerCertificates& shared(const std::string& sourceDir) {
    static const ServerCertificates made(sourceDir);
    return made;
  }
};

class ServerProcess {
 public:
  std::string dir;    // the temporary folder of this server
  std::string error;  // empty once the server is up
  std::map<std::string, unsigned> ports;  // "http", "https", "https-wrong", ...

  // extraArgs follow the script's name; "{certs}" in one becomes the folder
  // of the certificates.
  ServerProcess(const std::string& sourceDir, const char* prefix, std::vector<std::string> extraArgs) {
    std::string templ = std::string("/tmp/") + prefix + "-XXXXXX";
    if (!mkdtemp(templ.data())) {
      error = "no temporary folder";
      return;
    }
    dir = templ;
    const ServerCertificates& made = ServerCertificates::shared(sourceDir);
    const std::string tools = sourceDir + "/tools/", certs = made.dir;
    certs_ = certs;
    if (!made.error.empty()) {
      error = made.error;
      return;
    }
    int toServer[2], fromServer[2];
    if (pipe(toServer) != 0) {
      error = "no pipe";
      return;
    }
    if (pipe(fromServer) != 0) {
      close(toServer[0]), close(toServer[1]);
      error = "no pipe";
      return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, toServer[0], 0);
    posix_spawn_file_actions_adddup2(&actions, fromServer[1], 1);
    posix_spawn_file_actions_addclose(&actions, toServer[1]);
    posix_spawn_file_actions_addclose(&actions, fromServer[0]);
    std::vector<std::string> args = {"python3", tools + "bench_server.py"};
    for (std::string& a : extraArgs) {
      size_t at = a.find("{certs}");
      if (at != std::string::npos) a.replace(at, 7, certs);
      args.push_back(a);
    }
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    int rc = posix_spawnp(&pid_, "python3", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(toServer[0]);
    close(fromServer[1]);
    input_ = toServer[1];
    if (rc != 0) {
      pid_ = -1;
      close(fromServer[0]);
      error = "python3 would not start";
      return;
    }
    FILE* out = fdopen(fromServer[0], "r");
    char line[256];
    while (out && std::fgets(line, sizeof line, out)) {
      char name[32];
      unsigned port = 0;
      if (std::strncmp(line, "ready", 5) == 0) break;
      if (std::sscanf(line, "%31s %u", name, &port) == 2) ports[name] = port;
    }
    if (out) std::fclose(out);
    if (!ports.count("http")) error = "bench_server.py did not report its ports";
  }

  ~ServerProcess() {
    if (input_ >= 0) close(input_);
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
    if (!dir.empty()) std::system(("rm -rf '" + dir + "'").c_str());
  }

  ServerProcess(const ServerProcess&) = delete;
  ServerProcess& operator=(const ServerProcess&) = delete;

  std::string certs() const { return certs_; }
  // "http://127.0.0.1:PORT" for "http", "http://[::1]:PORT" for "http6",
  // "https://localhost:PORT" for the rest; empty when the server did not
  // report that name.
  std::string url(const std::string& name) const {
    auto it = ports.find(name);
    if (it == ports.end()) return "";
    return (name == "http" ? "http://127.0.0.1:" : name == "http6" ? "http://[::1]:" : "https://localhost:") +
           std::to_string(it->second);
  }

 private:
  std::string certs_;
  pid_t pid_ = -1;
  int input_ = -1;
};

}  // namespace quorl::test
