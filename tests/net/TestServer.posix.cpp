#include "TestServer.h"

#include <cstdlib>

#include "ServerProcess.posix.h"

namespace quorl::test {

namespace {

std::vector<std::string> arguments() {
  std::vector<std::string> list = {"--lifetime",    "1200",
                                   "--cert",        "{certs}/server.pem",
                                   "--key",         "{certs}/server.key",
                                   "--wrong-cert",  "{certs}/wrong.pem",
                                   "--wrong-key",   "{certs}/wrong.key",
                                   "--expired-cert", "{certs}/expired.pem",
                                   "--expired-key", "{certs}/expired.key",
                                   "--future-cert", "{certs}/future.pem",
                                   "--future-key",  "{certs}/future.key",
                                   "--old-protocol"};
  for (const std::string name : kMoreCertificates)
    list.insert(list.end(), {"--listener", name, "{certs}/" + name + ".pem", "{certs}/" + name + ".key"});
  return list;
}

struct NativeServer {
  TestServer server;
  ServerProcess process{QUORL_SOURCE_DIR, "quorl-net", arguments()};

  NativeServer() {
    server.required = true;
    server.error = process.error;
    if (!process.error.empty()) return;
    server.http = process.url("http");
    server.http6 = process.url("http6");
    server.https = process.url("https");
    server.wrong = process.url("https-wrong");
    server.expired = process.url("https-expired");
    server.future = process.url("https-future");
    server.old = process.url("https-old");
    for (const char* name : kMoreCertificates) server.more[name] = process.url(std::string("https-") + name);
    server.ca = process.certs() + "/ca.pem";
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
