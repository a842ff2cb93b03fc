#include "TestServer.h"

#include <windows.h>

#include "foundation/Platform.h"
#include "foundation/String.h"
#include "foundation/WideText.h"

namespace quorl::test {

namespace {
std::string env(const char* name) {
  Ref<String> value = Platform::env(String::withCString(name));
  return std::string(value->cString(), value->byteLength());
}
}  // namespace

void setEnv(const char* name, const char* value) {
  std::wstring wideValue = WideText::wide(value);
  SetEnvironmentVariableW(WideText::wide(name).c_str(), value ? wideValue.c_str() : nullptr);
}

TestServer& TestServer::shared() {
  static TestServer server = [] {
    TestServer s;
    s.http = env("QUORL_TEST_SERVER");
    s.http6 = env("QUORL_TEST_SERVER6");
    s.https = env("QUORL_TEST_SERVER_HTTPS");
    s.wrong = env("QUORL_TEST_SERVER_WRONG");
    s.expired = env("QUORL_TEST_SERVER_EXPIRED");
    s.future = env("QUORL_TEST_SERVER_FUTURE");
    s.old = env("QUORL_TEST_SERVER_OLD");
    s.ca = env("QUORL_TEST_CA");
    // "NAME=URL;NAME=URL;..."
    const std::string more = env("QUORL_TEST_SERVER_MORE");
    for (size_t at = 0, end; (end = more.find(';', at)) != std::string::npos; at = end + 1) {
      const size_t equals = more.find('=', at);
      if (equals < end) s.more[more.substr(at, equals - at)] = more.substr(equals + 1, end - equals - 1);
    }
    if (s.http.empty()) s.error = "QUORL_TEST_SERVER is not set (run under tools/with-test-server)";
    return s;
  }();
  return server;
}

}  // namespace quorl::test
