// The local benchmark server (tools/bench_server.py) for the networking
// tests. Natively the test process starts it on first use and stops it at
// exit; under Wine it is started around the test executable by
// tools/with-test-server, which passes its addresses in the environment.
#pragma once

#include <map>
#include <string>

namespace quorl::test {

// The further certificates the test server serves, each on a listener of
// its own (tools/make_test_certs.sh makes them).
inline const char* const kMoreCertificates[] = {"valid-1950-2060", "valid-1949-2049", "future-2050-2060",
                                                "expired-1949-1950", "shortsig", "badsig"};

struct TestServer {
  // Started (or found) on first use; `error` says why when it is not up.
  static TestServer& shared();

  bool up() const { return !http.empty(); }

  std::string http;   // "http://127.0.0.1:PORT"
  std::string http6;  // "http://[::1]:PORT", empty where the machine has no IPv6 loopback
  std::string https;  // "https://localhost:PORT", empty when not offered
  std::string wrong;  // https with a certificate for another host name
  std::string expired;  // https with an expired certificate
  std::string future;   // https with a certificate valid only from 2040
  std::string old;      // https over TLS 1.0 and 1.1 only
  // https with each of kMoreCertificates, by its name: "valid-1950-2060" from
  // 1950 as a UTCTime to 2060 as a GeneralizedTime..., "shortsig" with a short
  // signature integer, "badsig" signed wrongly
  std::map<std::string, std::string> more;
  std::string ca;     // path of the test CA's certificate
  std::string error;
  bool required = false;  // natively a missing server fails the tests
};

// Sets (or, with null, removes) an environment variable of this process.
void setEnv(const char* name, const char* value);

// Skips the test when the server is not up where it may be missing (under
// Wine without tools/with-test-server), and fails it where it must be up.
#define QUORL_REQUIRE_SERVER(server)                                     \
  do {                                                                   \
    if (!(server).up()) {                                                \
      if ((server).required) FAIL() << (server).error;                   \
      GTEST_SKIP() << (server).error;                                    \
    }                                                                    \
  } while (0)

}  // namespace quorl::test
