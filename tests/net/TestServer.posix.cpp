#include "TestServer.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace quorl::test {

namespace {

struct NativeServer {
  TestServer server;
  pid_t pid = -1;
  int input = -1;  // the server stops when this pipe closes
  std::string dir;

  NativeServer() {
    server.required = true;
    start();
  }

  ~NativeServer() {
    if (input >= 0) close(input);
    if (pid > 0) {
      kill(pid, SIGTERM);
      int status = 0;
      waitpid(pid, &status, 0);
    }
    if (!dir.empty()) std::system(("rm -rf '" + dir + "'").c_str());
  }

  void start() {
    char templ[] = "/tmp/quorl-net-XXXXXX";
    if (!mkdtemp(templ)) {
      server.error = "no temporary folder";
      return;
    }
    dir = templ;
    const std::string tools = std::string(QUORL_SOURCE_DIR) + "/tools/";
    std::string certs = dir + "/certs";
    if (std::system(("bash '" + tools + "make_test_certs.sh' '" + certs + "'").c_str()) != 0) {
      server.error = "make_test_certs.sh failed (is openssl installed?)";
      return;
    }
    int toServer[2], fromServer[2];
    if (pipe(toServer) != 0 || pipe(fromServer) != 0) {
      server.error = "no pipe";
      return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, toServer[0], 0);
    posix_spawn_file_actions_adddup2(&actions, fromServer[1], 1);
    posix_spawn_file_actions_addclose(&actions, toServer[1]);
    posix_spawn_file_actions_addclose(&actions, fromServer[0]);
    std::string script = tools + "bench_server.py";
    std::string cert = certs + "/server.pem", key = certs + "/server.key";
    std::string wrongCert = certs + "/wrong.pem", wrongKey = certs + "/wrong.key";
    const char* argv[] = {"python3", script.c_str(), "--lifetime", "1200", "--cert", cert.c_str(), "--key",
                          key.c_str(), "--wrong-cert", wrongCert.c_str(), "--wrong-key", wrongKey.c_str(), nullptr};
    int rc = posix_spawnp(&pid, "python3", &actions, nullptr, const_cast<char**>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(toServer[0]);
    close(fromServer[1]);
    input = toServer[1];
    if (rc != 0) {
      pid = -1;
      close(fromServer[0]);
      server.error = "python3 would not start";
      return;
    }
    FILE* out = fdopen(fromServer[0], "r");
    char line[256];
    std::string http, https, wrong;
    while (out && std::fgets(line, sizeof line, out)) {
      char name[32];
      unsigned port = 0;
      if (std::strncmp(line, "ready", 5) == 0) break;
      if (std::sscanf(line, "%31s %u", name, &port) != 2) continue;
      std::string n = name;
      if (n == "http") http = "http://127.0.0.1:" + std::to_string(port);
      if (n == "https") https = "https://localhost:" + std::to_string(port);
      if (n == "https-wrong") wrong = "https://localhost:" + std::to_string(port);
    }
    if (out) std::fclose(out);
    if (http.empty()) {
      server.error = "bench_server.py did not report its ports";
      return;
    }
    server.http = http;
    server.https = https;
    server.wrong = wrong;
    server.ca = certs + "/ca.pem";
  }
};

}  // namespace

void setEnv(const char* name, const char* value) {
  if (value)
    setenv(name, value, 1);
  else
    unsetenv(name);
}

TestServer& TestServer::shared() {
  static NativeServer native;
  return native.server;
}

}  // namespace quorl::test
