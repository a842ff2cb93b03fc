// The TLS adapter: partial writes, installing layers, and HTTPS against the
// test server with its throw-away certificate authority.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

#include "SilentPeer.h"
#include "Support.h"
#include "TestServer.h"
#include "net/HttpTls.h"
#include "Rounds.h"

#ifndef _WIN32
#include <openssl/err.h>
#endif

using namespace quorl;
using namespace quorl::test;

namespace {

// A library connection that takes at most `step` bytes a write, and fails
// once `failAfter` bytes were taken.
class ChoppyConnection : public TlsConnection {
 public:
  ChoppyConnection(uint32_t step, uint32_t failAfter) : step(step), failAfter(failAfter) {}
  void close() override { closed++; }
  int32_t read(void*, uint32_t) override { return 0; }
  int32_t write(const void* bytes, uint32_t length) override {
    calls++;
    if (taken.size() >= failAfter) return -1;
    uint32_t n = length < step ? length : step;
    taken.append(static_cast<const char*>(bytes), n);
    return static_cast<int32_t>(n);
  }
  uint32_t step, failAfter;
  std::string taken;
  int calls = 0, closed = 0;
};

TEST(HttpTlsConn, WritesUntilEveryByteIsTaken) {
  auto choppy = make<ChoppyConnection>(1000, 0xFFFFFFFFu);
  _HttpTlsConn conn(choppy);
  const std::string request = pattern(5500);
  EXPECT_TRUE(conn.write(request.data(), static_cast<uint32_t>(request.size())));
  EXPECT_EQ(choppy->taken, request);
  EXPECT_EQ(choppy->calls, 6);
  conn.close();
  EXPECT_EQ(choppy->closed, 1);

  auto failing = make<ChoppyConnection>(1000, 2000);
  _HttpTlsConn broken(failing);
  EXPECT_FALSE(broken.write(request.data(), static_cast<uint32_t>(request.size())));
  EXPECT_EQ(failing->taken, request.substr(0, 2000));
}

class HttpTlsInstall : public ::testing::Test {
 protected:
  void SetUp() override {
    saved = HttpTls::_systemBundles();
    dir = std::filesystem::temp_directory_path() / ("quorl-tls-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    std::filesystem::create_directories(dir);
    broken = (dir / "broken.pem").string();
    std::ofstream(broken) << "not a certificate\n";
    sentinel = make<_HttpTlsLayer>(make<TlsClient>());
    Http::setSecureLayer(sentinel);
  }
  void TearDown() override {
    HttpTls::_systemBundles() = saved;
    Http::setSecureLayer(nullptr);
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
  }
  static Ref<String> s(const std::string& text) { return make<String>(std::string_view(text)); }

  std::vector<std::string> saved;
  std::filesystem::path dir;
  std::string broken;
  Ref<_HttpTlsLayer> sentinel;
};

TEST_F(HttpTlsInstall, BundlesThatDoNotLoadLeaveTheLayerAlone) {
  const std::string missing = (dir / "missing.pem").string();
  Ref<String> why;
  EXPECT_FALSE(HttpTls::installWithBundle(s(missing), &why));
  EXPECT_EQ(str(why), missing + " cannot be read");
  EXPECT_FALSE(HttpTls::installWithBundle(s(broken), &why));
  EXPECT_EQ(str(why), broken + " holds no certificate");
  EXPECT_FALSE(HttpTls::installWithBundle(nullptr));
  EXPECT_EQ(Http::secureLayer(), sentinel);
}

TEST_F(HttpTlsInstall, LaterInstallsReplaceEarlierOnes) {
  TestServer& server = TestServer::shared();
  QUORL_REQUIRE_SERVER(server);
  if (server.ca.empty()) GTEST_SKIP() << "no test CA";
  Weak<HttpSecureLayer> first;
  ASSERT_TRUE(HttpTls::installWithBundle(s(server.ca)));
  first = Http::secureLayer();
  EXPECT_NE(Http::secureLayer(), sentinel);
  ASSERT_TRUE(HttpTls::installWithBundle(s(server.ca)));
  EXPECT_TRUE(first.expired());
}

TEST_F(HttpTlsInstall, SystemBundlesFirstExistingIsFinal) {
  TestServer& server = TestServer::shared();
  QUORL_REQUIRE_SERVER(server);
  if (server.ca.empty()) GTEST_SKIP() << "no test CA";
  const std::string missing = (dir / "missing.pem").string();
  HttpTls::_systemBundles() = {missing, (dir / "also-missing.pem").string()};
  EXPECT_FALSE(HttpTls::install());
  EXPECT_EQ(Http::secureLayer(), sentinel);

  HttpTls::_systemBundles() = {missing, broken, server.ca};
  EXPECT_FALSE(HttpTls::install());  // the broken bundle ends the search
  EXPECT_EQ(Http::secureLayer(), sentinel);

  HttpTls::_systemBundles() = {missing, server.ca, broken};
  EXPECT_TRUE(HttpTls::install());
  EXPECT_NE(Http::secureLayer(), sentinel);
}

// A bundle is taken only when each certificate block is one whole certificate to the platform's reader and
// one is there (other text and kinds passed over); else the reason names the first bad block. Random bundles.
TEST_F(HttpTlsInstall, EveryCertificateBlockIsReadByThePlatform) {
  TestServer& server = TestServer::shared();
  QUORL_REQUIRE_SERVER(server);
  if (server.ca.empty() || server.https.empty()) GTEST_SKIP() << "no test CA";
  std::ifstream in(server.ca, std::ios::binary);
  const std::string ca((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::string good = ca.substr(ca.find("-----BEGIN")), trailing = withTrailingBytes(good);
  const struct { std::string text; const char* fault; } pieces[] = {
      {good, nullptr},
      {"-----BEGIN CERTIFICATE-----\nMAA=\n-----END CERTIFICATE-----\n", "is not a certificate"},
      {trailing, "has bytes after its certificate"},
      {"-----BEGIN CERTIFICATE-----\n" + good.substr(28, 64) + "\n-----END CERTIFICATE-----\n", "is not a certificate"},
      {"-----BEGIN X509 CRL-----\nMAA=\n-----END X509 CRL-----\n", ""},  // another kind: passed over
      {"# a comment line = not base64\n", ""},
  };
  std::mt19937 random(::testing::UnitTest::GetInstance()->random_seed());
  const int rounds = test::rounds(60);
  int taken = 0;
  for (int round = 0; round < rounds; round++) {
    std::string bundle, expected;
    uint32_t blocks = 0;
    // The first bundle has every piece passed over; good blocks drawn most, so that a fault often comes late.
    std::vector<size_t> drawn = {4, 0, 5};
    if (round > 0) drawn.resize(random() % 5);
    for (size_t& d : drawn)
      if (round > 0) d = random() % 3 == 0 ? random() % std::size(pieces) : 0;
    for (size_t d : drawn) {
      const auto& piece = pieces[d];
      bundle += piece.text;
      if (piece.fault && !*piece.fault) continue;
      blocks++;
      if (piece.fault && expected.empty())
        expected = broken + ": block " + std::to_string(blocks) + " " + piece.fault;
    }
    if (blocks == 0) expected = broken + " holds no certificate";
    if (bundle.empty()) bundle = "\n";
    std::ofstream(broken, std::ios::binary | std::ios::trunc) << bundle;
    SCOPED_TRACE(bundle);
    Http::setSecureLayer(sentinel);
    Ref<String> why;
#ifndef _WIN32
    ERR_clear_error();  // what a refused handshake of another test left
#endif
    EXPECT_EQ(HttpTls::installWithBundle(s(broken), &why), expected.empty());
    EXPECT_EQ(str(why), expected.empty() ? "(null)" : expected);
#ifndef _WIN32
    EXPECT_EQ(ERR_peek_error(), 0ul) << "a refused block leaves errors queued for the thread's next TLS call";
#endif
    if (!expected.empty()) {
      EXPECT_EQ(Http::secureLayer(), sentinel);
    } else if (taken++ < 3) {  // the certificates taken are those the handshake trusts
      auto r = Http::get(Url::withCString((server.https + "/status/200").c_str()));
      EXPECT_EQ(r->status, 200u) << str(r->error);
    }
  }
}

// The platform's reader hands over exactly the certificate's bytes (the Windows client stores them), none if refused.
TEST(TlsPem, ACertificateBlockGivesItsBytes) {
  TestServer& server = TestServer::shared();
  QUORL_REQUIRE_SERVER(server);
  if (server.ca.empty()) GTEST_SKIP() << "no test CA";
  std::ifstream in(server.ca, std::ios::binary);
  const std::string ca((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::string block = ca.substr(ca.find("-----BEGIN"), ca.find("-----END") + 25 - ca.find("-----BEGIN"));
  std::string body = block.substr(28, block.size() - 28 - 25);  // between the BEGIN and END lines
  body.erase(std::remove(body.begin(), body.end(), '\n'), body.end());
  auto base64 = [](const std::string& bytes) {
    static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (size_t i = 0; i < bytes.size(); i += 3) {
      uint32_t group = 0;
      for (size_t k = 0; k < 3; k++) group = group << 8 | (i + k < bytes.size() ? uint8_t(bytes[i + k]) : 0u);
      for (size_t k = 0; k < 4; k++) out += k <= bytes.size() - i ? digits[group >> (18 - 6 * k) & 63] : '=';
    }
    return out;
  };
  const struct { std::string block; TlsPemFault fault; std::string base64; } cases[] = {
      {block, TlsPemFault::none, body},
      {"-----BEGIN CERTIFICATE-----\nMAA=\n-----END CERTIFICATE-----", TlsPemFault::notCertificate, ""},
      {withTrailingBytes(block), TlsPemFault::trailingBytes, ""},
  };
  for (const auto& c : cases) {
    std::string der = "stale";
    EXPECT_EQ(tlsReadPemCertificate(c.block, der), c.fault) << c.block;
    EXPECT_EQ(base64(der), c.base64) << c.block;
  }
}

class Https : public ::testing::Test {
 protected:
  void SetUp() override {
    QUORL_REQUIRE_SERVER(server());
    if (server().https.empty() || server().ca.empty()) GTEST_SKIP() << "the test server offers no HTTPS";
    ASSERT_TRUE(HttpTls::installWithBundle(make<String>(std::string_view(server().ca))));
  }
  void TearDown() override { Http::setSecureLayer(nullptr); }
  static TestServer& server() { return TestServer::shared(); }
  Ref<HttpResponse> get(const std::string& url) { return Http::get(Url::withCString(url.c_str())); }

  LimitsScope limits;
};

TEST_F(Https, GetWithTheTestAuthority) {
  auto r = get(server().https + "/echo?q=1");
  ASSERT_EQ(r->status, 200u) << str(r->error);
  const std::string host = server().https.substr(std::string("https://").size());
  EXPECT_EQ(bytes(r->body), "GET /echo?q=1 HTTP/1.1\r\nHost: " + host +
                                "\r\nUser-Agent: quorlc-http\r\nAccept: */*\r\nConnection: close\r\n\r\n");
  r = get(server().https + "/chunked?n=200000&size=7000");
  EXPECT_EQ(r->status, 200u);
  EXPECT_EQ(bytes(r->body), pattern(200000));
  r = get(server().https + "/short");
  EXPECT_EQ(str(r->error), "short body (10 of 100 bytes)");
}

// Every refused handshake keeps its words and adds the library's reason;
// the old protocol may be ended by the client, in its own words.
TEST_F(Https, RefusedHandshakesSayWhy) {
  Ref<TlsClient> system = make<TlsClient>();
  system->init();
  ASSERT_TRUE(system->setupWithoutBundle());
  const Ref<HttpSecureLayer> testCa = Http::secureLayer(), systemStore = make<_HttpTlsLayer>(system);
  const std::string failed = "TLS handshake with localhost failed: ";
  const struct { std::string url; Ref<HttpSecureLayer> layer; std::string error, otherwise = {}; } cases[] = {
      {server().wrong, testCa, "name `localhost' not present in server certificate"},
      {server().expired, testCa, "certificate has expired"},
      {server().future, testCa, "certificate is not yet valid"},
      {server().https, systemStore, "unable to get local issuer certificate"},
      {server().old, testCa, "tlsv1 alert protocol version", "unsupported protocol"},
      {server().more["badsig"], testCa, "certificate signature failure"},
      // A start as a GeneralizedTime (2050 on), an end as a UTCTime (1950 to 2049).
      {server().more["future-2050-2060"], testCa, "certificate is not yet valid"},
      {server().more["expired-1949-1950"], testCa, "certificate has expired"},
  };
  for (const auto& c : cases) {
    ASSERT_FALSE(c.url.empty()) << "the test server does not offer " << c.error;
    Http::setSecureLayer(c.layer);
    auto r = get(c.url + "/echo");
    EXPECT_EQ(r->status, 0u);
    EXPECT_TRUE(str(r->error) == failed + c.error || (!c.otherwise.empty() && str(r->error) == failed + c.otherwise))
        << str(r->error) << ", not " << c.error;
  }
}

// Dates in either form (a UTCTime holds 1950 to 2049, a GeneralizedTime any
// year) are read; an ECDSA signature whose integer is shorter than the key
// (one in 128, the test authority's own among them) verifies.
TEST_F(Https, CertificatesDatedAtBothEndsOrSignedWithShortIntegersAreTaken) {
  for (const char* name : {"valid-1950-2060", "valid-1949-2049", "shortsig"}) {
    ASSERT_FALSE(server().more[name].empty()) << "the test server does not offer " << name;
    auto r = get(server().more[name] + "/status/200");
    EXPECT_EQ(r->status, 200u) << name;
    EXPECT_EQ(str(r->error), "(null)") << name;
  }
}

// Only the close notice ends a TLS stream: after a bare TCP close a reply stands only if its framing had ended.
TEST_F(Https, AStreamCutBeforeItsCloseNotice) {
  const std::string unframed = "/raw?hex=" + hex("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\nhello");  // no length
  const struct { std::string path, body, error; } cases[] = {
      {unframed, "hello", "(null)"},
      {unframed + "&notify=0", "hello", "receive failed or timed out"},
      {"/chunked?n=3000&size=1000&notify=0", pattern(3000), "(null)"},
      {"/status/200?notify=0", "status 200", "(null)"},  // a Content-Length
      // Cut after a "0" whose line did not end: a size with leading zeros may have been cut, not the last chunk.
      {"/raw?notify=0&hex=" + hex("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n0"), "hello",
       "receive failed or timed out"},
  };
  for (const auto& c : cases) {
    auto r = get(server().https + c.path);
    EXPECT_EQ(r->status, 200u) << c.path;
    EXPECT_EQ(bytes(r->body), c.body) << c.path;
    EXPECT_EQ(str(r->error), c.error) << c.path;
  }
}

TEST_F(Https, RedirectsStayOnHttps) {
  auto r = get(server().https + "/chain/3?mode=abs");
  EXPECT_EQ(r->status, 200u) << str(r->error);
  EXPECT_EQ(bytes(r->body), "done");
  r = get(server().https + "/redirect?to=" + server().http + "/echo");
  EXPECT_EQ(r->status, 0u);
  EXPECT_EQ(str(r->error), "redirect from https to http refused");
  EXPECT_EQ(str(r->url->toString()), server().https + "/redirect?to=" + server().http + "/echo");
  // From http up to https is fine.
  r = get(server().http + "/redirect?to=" + server().https + "/status/201");
  EXPECT_EQ(r->status, 201u) << str(r->error);
}

TEST_F(Https, SilentServerTimesOutInsideTls) {
  // The I/O time-out also bounds the handshake, in the same words: whether
  // or not a loaded server finished its handshake within it, the reply's
  // silence (60 s) is far longer.
  Http::limits().ioTimeoutMs = 1500;
  auto r = get(server().https + "/slow?delay=60");
  EXPECT_EQ(r->status, 0u);
  EXPECT_EQ(str(r->error), "the server did not answer within 1.5 s");
}

}  // namespace

namespace {

// A handshake with a peer that never answers ends at the first bound it
// meets: the connect time-out, the I/O time-out or the request's deadline,
// each counted once for the whole handshake. Which bound ended it shows in
// the text: the deadline has its own words, a time-out says its length.
//
// Before its handshake waits, a request spends time of its own (the TLS
// set-up reads the CA bundle, the connect), which a loaded machine or the
// sanitizers stretch to most of a second. The bounds are therefore set
// against that cost, measured first in the same test, so that each case
// keeps a margin of several times it.
TEST(HttpsSilentPeer, HandshakeEndsAtTheNearestBound) {
  SilentPeer peer;
  ASSERT_NE(peer.port, 0) << peer.error;
  Ref<TlsClient> client = make<TlsClient>();
  client->init();
  ASSERT_TRUE(client->setupWithoutBundle());
  Http::setSecureLayer(make<_HttpTlsLayer>(client));
  const std::string url = "https://127.0.0.1:" + std::to_string(peer.port) + "/";
  auto silent = [](uint32_t ms) {  // "0.05", "1.5", "2"
    std::string s = std::to_string(ms / 1000.0);
    s.erase(ms % 1000 ? s.find_last_not_of('0') + 1 : s.find('.'));
    return "the server did not answer within " + s + " s";
  };
  auto request = [&](uint32_t connectMs, uint32_t ioMs, uint32_t deadlineMs) {
    LimitsScope limits;
    Http::limits().connectTimeoutMs = connectMs;
    Http::limits().ioTimeoutMs = ioMs;
    Http::limits().requestDeadlineMs = deadlineMs;
    return Http::get(Url::withCString(url.c_str()));
  };

  // The cost before the wait: a handshake bounded at 50 ms, less the 50 ms.
  const auto before = std::chrono::steady_clock::now();
  EXPECT_EQ(str(request(50, 30000, 30000)->error), silent(50));
  const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - before);
  const uint32_t setUpMs = took.count() > 50 ? uint32_t(took.count() - 50) : 0;
  // The connect time-out of the last case, at least five seconds and ten
  // times the set-up, in whole tenths: its margin to the deadline, 0.9 x the
  // bound, then holds a load that comes after the set-up was measured.
  const uint32_t bound = std::max<uint32_t>(5000, (setUpMs * 10 + 99) / 100 * 100);

  struct Case {
    uint32_t connectMs, ioMs, deadlineMs;
    std::string error;
  };
  const Case cases[] = {
      {bound / 2, 30000, bound * 10, silent(bound / 2)},            // the connect time-out
      {30000, bound / 2, bound * 10, silent(bound / 2)},            // the I/O time-out
      {30000, 30000, 1000, "request timed out after 1 seconds"},   // the deadline
      // One connect time-out, not two: twice it would run into the deadline,
      // while once leaves 0.9 x the bound (9 times the set-up) to spare.
      {bound, 30000, bound * 19 / 10, silent(bound)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.connectMs << " " << c.ioMs << " " << c.deadlineMs << " (set-up "
                                    << setUpMs << " ms)");
    auto r = request(c.connectMs, c.ioMs, c.deadlineMs);
    EXPECT_EQ(r->status, 0u);
    EXPECT_EQ(str(r->error), c.error);
  }
  Http::setSecureLayer(nullptr);
}

}  // namespace
