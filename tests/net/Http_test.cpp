// The HTTP client against the local test server, over plain HTTP.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <vector>

#include "HostsAsked.h"
#include "Rounds.h"
#include "SilentPeer.h"
#include "Support.h"
#include "TestServer.h"

using namespace quorl;
using namespace quorl::test;

namespace {

class HttpWire : public ::testing::Test {
 protected:
  void SetUp() override {
    QUORL_REQUIRE_SERVER(server());
    base = server().http;
  }
  static TestServer& server() { return TestServer::shared(); }
  Ref<HttpResponse> get(const std::string& path) { return Http::get(Url::withCString((base + path).c_str())); }
  std::string hostField() const { return base.substr(std::string("http://").size()); }

  std::string base;
  LimitsScope limits;
};

TEST_F(HttpWire, RequestBytesOnTheWire) {
  auto r = get("/echo?x=1&y=%20#fragment");
  ASSERT_EQ(r->status, 200u) << str(r->error);
  EXPECT_EQ(bytes(r->body), "GET /echo?x=1&y=%20 HTTP/1.1\r\nHost: " + hostField() +
                                "\r\nUser-Agent: quorlc-http\r\nAccept: */*\r\nConnection: close\r\n\r\n");
  EXPECT_EQ(str(r->url->toString()), base + "/echo?x=1&y=%20#fragment");

  r = get("/echo?");
  EXPECT_EQ(bytes(r->body).substr(0, 20), "GET /echo HTTP/1.1\r\n");
  r = get("/echo#a?b");
  EXPECT_EQ(bytes(r->body).substr(0, 20), "GET /echo HTTP/1.1\r\n");

  // An IPv6 literal: connected to without its brackets, named with them.
  if (server().http6.empty()) GTEST_SKIP() << "no IPv6 loopback";
  const std::string host6 = server().http6.substr(7);
  r = Http::get(Url::withCString((server().http6 + "/echo").c_str()));
  ASSERT_EQ(r->status, 200u) << str(r->error);
  EXPECT_EQ(bytes(r->body).substr(0, 38 + host6.size()), "GET /echo HTTP/1.1\r\nHost: " + host6 + "\r\nUser-Agent");
  for (const char* mode : {"rel", "abs", "root"}) {  // redirect targets keep the brackets
    r = Http::get(Url::withCString((server().http6 + "/chain/2?mode=" + mode).c_str()));
    EXPECT_EQ(bytes(r->body), "done") << mode << ": " << str(r->error);
    EXPECT_EQ(str(r->url->toString()), server().http6 + "/chain/0?mode=" + mode);
  }
}

// Interim replies, any number, are passed over, each head under the cap, their fields dropped; a 101 is final.
TEST_F(HttpWire, InterimRepliesArePassedOver) {
  const std::string hints = "HTTP/1.1 103 Early Hints\r\nLink: </a.css>; rel=preload\r\n\r\n";
  const std::string ok = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok";
  const std::string filled = "HTTP/1.1 100 Continue\r\n" + std::string(65536 - 27, '\n') + "\r\n\r\n";  // the cap's size
  const struct { std::string path; uint32_t status; std::string body, error; } cases[] = {
      {"/continue/status/404", 404, "status 404", "(null)"},
      {"/raw/" + hex("HTTP/1.1 100 Continue\r\n\r\n" + hints + hints + ok), 200, "ok", "(null)"},
      {"/raw?hex=" + hex(filled + filled + filled + ok), 200, "ok", "(null)"},
      {"/raw?hex=" + hex(filled.substr(0, 24) + "\n" + filled.substr(24) + ok), 0, "", "response headers larger than 65536 bytes"},
      {"/raw/" + hex("HTTP/1.1 101 Switching Protocols\r\n\r\n" + ok), 101, "", "(null)"},  // no body: another protocol
      {"/raw/" + hex(hints), 0, "", "malformed response (no end of headers)"},  // no final reply
      {"/continue/redirect?to=/status/201", 201, "status 201", "(null)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path.substr(0, 80));
    auto r = get(c.path);
    EXPECT_EQ(r->status, c.status);
    EXPECT_EQ(bytes(r->body), c.body);
    EXPECT_EQ(str(r->error), c.error);
    EXPECT_EQ(r->header("link"), nullptr);
  }
}

// Eight dead addresses (full queues on 127.0.0.2-9) ahead of the live one each get a fraction of the deadline.
TEST_F(HttpWire, ALiveAddressAmongDeadOnesIsReached) {
  const uint16_t port = static_cast<uint16_t>(std::stoi(base.substr(base.rfind(':') + 1)));
  std::vector<std::unique_ptr<SilentPeer>> dead;
  std::vector<std::string> hosts;
  for (int i = 2; i <= 9; i++) {
    hosts.push_back("127.0.0." + std::to_string(i));
    dead.push_back(std::make_unique<SilentPeer>(hosts.back().c_str(), port, true));
    ASSERT_EQ(dead.back()->error, "");
  }
  hosts.push_back("127.0.0.1");
  struct Restore {
    ~Restore() { SocketIO::_hostsForTests() = nullptr; }
  } restore;
  SocketIO::_hostsForTests() = [&](const char* host) {
    return std::string(host) == "many.test" ? hosts : std::vector<std::string>{};
  };
  // The connect time-out is the deadline: one dead address tried to its end would spend all of it.
  Http::limits().connectTimeoutMs = Http::limits().requestDeadlineMs = 30000;
  const std::string many = "many.test:" + std::to_string(port);
  auto r = Http::get(Url::withCString(("http://" + many + "/status/200").c_str()));
  EXPECT_EQ(r->status, 200u);
  EXPECT_EQ(str(r->error), "(null)");
  hosts.pop_back();  // only the dead: the connect time-out ends it
  Http::limits().connectTimeoutMs = 500;
  r = Http::get(Url::withCString(("http://" + many + "/").c_str()));
  EXPECT_EQ(str(r->error), "cannot connect to " + many);
}

TEST_F(HttpWire, StatusAndHeaders) {
  auto r = get("/status/404");
  EXPECT_EQ(r->status, 404u);
  EXPECT_EQ(bytes(r->body), "status 404");
  EXPECT_EQ(r->error, nullptr);
  EXPECT_EQ(str(r->header("content-length")), "10");
  EXPECT_EQ(str(r->header("Connection")), "close");
}

// A head past its cap ends in its words at once (the reply cap, two reads
// above, would give others); one of exactly the cap is read. 800,000 repeats
// under a raised cap take a second parsed linearly, hours if each is copied
// again (rounds() gives the sanitized build a tenth).
TEST_F(HttpWire, HeadsAreCapped) {
  const uint32_t repeats = uint32_t(rounds(4800000));
  const struct {
    std::string path;
    uint32_t cap;
    int64_t fieldBytes;  // the filling field's value, -1 when refused
  } cases[] = {
      {"/head?kind=empty&bytes=40000000", 65536, -1},  {"/head?kind=long&bytes=65537", 65536, -1},
      {"/endlessheader", 65536, -1},                   {"/head?kind=empty&bytes=65536", 65536, 0},
      {"/head?kind=long&bytes=65536", 65536, 65536 - 38 - 9},
      {"/head?kind=repeat&bytes=" + std::to_string(repeats), repeats, (repeats - 38) / 6 * 3 - 2},  // "b, b, ..., b"
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path + " cap " + std::to_string(c.cap));
    Http::limits().maxHeadBytes = c.cap;
    Http::limits().maxReplyBytes = c.cap + 2 * 8192;
    auto r = get(c.path);
    EXPECT_EQ(r->status, c.fieldBytes < 0 ? 0u : 200u);
    EXPECT_EQ(str(r->error), c.fieldBytes < 0 ? "response headers larger than " + std::to_string(c.cap) + " bytes"
                                               : "(null)");
    if (c.fieldBytes < 0) continue;
    EXPECT_EQ(bytes(r->body), "ok");
    EXPECT_EQ(r->headers->count(), c.fieldBytes ? 2u : 1u);  // Content-Length and the filling
    for (const char* name : {"a", "x-big"})
      if (r->header(name)) EXPECT_EQ(r->header(name)->byteLength(), uint64_t(c.fieldBytes));
  }
}

TEST_F(HttpWire, ChunkedBodies) {
  auto r = get("/chunked?n=300000&size=1000");
  ASSERT_EQ(r->status, 200u);
  EXPECT_EQ(r->error, nullptr);
  EXPECT_EQ(bytes(r->body), pattern(300000));
  r = get("/chunked?n=0");
  EXPECT_EQ(r->status, 200u);
  EXPECT_EQ(r->body->length(), 0u);
  EXPECT_EQ(r->error, nullptr);

  for (const char* kind : {"nolast", "overflow", "huge", "short", "garbage"}) {
    r = get(std::string("/badchunk?kind=") + kind);
    EXPECT_EQ(r->status, 200u) << kind;
    EXPECT_EQ(str(r->error), "malformed chunked body") << kind;
    EXPECT_EQ(bytes(r->body), "hello") << kind;
  }
}

TEST_F(HttpWire, BoundedAndShortBodies) {
  auto r = get("/length?value=5&n=12");
  EXPECT_EQ(bytes(r->body), pattern(5));
  EXPECT_EQ(r->error, nullptr);
  r = get("/short");
  EXPECT_EQ(r->status, 200u);
  EXPECT_EQ(str(r->error), "short body (10 of 100 bytes)");
  r = get("/length?value=4294967301&n=12");
  EXPECT_EQ(r->status, 0u);
  EXPECT_EQ(str(r->error), "malformed response (bad Content-Length)");
  // A value without digits frames nothing: the reply fails.
  r = get("/length?value=abc");
  EXPECT_EQ(r->status, 0u);
  EXPECT_EQ(str(r->error), "malformed response (bad Content-Length)");
}

// A reply without a body by its status ends with its head, whatever the
// head announced: what follows is not read, nor counted against the cap.
TEST_F(HttpWire, RepliesWithoutABodyEndWithTheirHead) {
  Http::limits().maxReplyBytes = 4096;
  const std::string after = pattern(20000);
  const std::pair<std::string, uint32_t> cases[] = {
      {"HTTP/1.1 204 No Content\r\n\r\n" + after, 204},
      {"HTTP/1.1 304 Not Modified\r\nContent-Length: 20000\r\n\r\n" + after, 304},
      {"HTTP/1.1 204 No Content\r\nContent-Length: 50\r\n\r\n", 204},
      {"HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 204 No Content\r\nTransfer-Encoding: chunked\r\n\r\n" + after, 204},
      {"HTTP/1.1 101 Switching Protocols\r\nUpgrade: x\r\n\r\n" + after, 101},
  };
  for (const auto& [reply, status] : cases) {
    auto r = get("/raw?hex=" + hex(reply));
    EXPECT_EQ(r->status, status) << reply.substr(0, 60);
    EXPECT_EQ(str(r->error), "(null)") << reply.substr(0, 60);
    EXPECT_EQ(r->body->length(), 0u) << reply.substr(0, 60);
  }
  // The same bytes after a head with a body are its body, and past the cap.
  auto r = get("/raw?hex=" + hex("HTTP/1.1 200 OK\r\n\r\n" + after));
  EXPECT_EQ(str(r->error), "response larger than 4096 bytes");
}

TEST_F(HttpWire, RepliesAreCappedInMemory) {
  Http::limits().maxReplyBytes = 1 << 20;
  auto r = get("/endless");
  EXPECT_EQ(r->status, 0u);
  EXPECT_EQ(str(r->error), "response larger than 1048576 bytes");
  EXPECT_EQ(r->body->length(), 0u);
  // The cap counts the reply as it came, head and chunk framing included.
  r = get("/chunked?n=1048576&size=65536");
  EXPECT_EQ(str(r->error), "response larger than 1048576 bytes");
  r = get("/chunked?n=1000000&size=100000");
  EXPECT_EQ(r->status, 200u);
  EXPECT_EQ(r->body->length(), 1000000u);
}

TEST_F(HttpWire, ClosedAndSilentServers) {
  auto r = get("/close");
  EXPECT_EQ(r->status, 0u);
  EXPECT_EQ(str(r->error), "malformed response (no end of headers)");

  // The I/O time-out stands far above what a reply just took, and the
  // server's silences (a minute and more) far above it. Silence after the
  // head cuts an unframed body short: an error beside the status and the bytes.
  bool answered = false;
  const uint32_t seconds = msFarAbove([&] { return get("/status/200")->status == 200; }, 2000, answered) / 1000;
  ASSERT_TRUE(answered);
  Http::limits().ioTimeoutMs = seconds * 1000;
  const std::string silence = std::to_string(seconds * 4 + 60);
  const std::string stopped = "the server stopped sending for " + std::to_string(seconds) + " s";
  r = get("/raw?hold=" + silence + "&hex=485454502f312e31");  // "HTTP/1.1" and no more
  EXPECT_EQ(r->status, 0u);
  EXPECT_EQ(str(r->error), stopped);
  r = get("/trickle?every=" + silence);
  EXPECT_EQ(r->status, 200u);
  EXPECT_EQ(str(r->error), stopped);
  EXPECT_EQ(bytes(r->body), "t");
  // A head without a status code, then silence: the failure is named.
  for (const char* hex : {"485454502f312e310d0a0d0a",                                  // HTTP/1.1
                          "485454502f312e310d0a436f6e74656e742d4c656e6774683a20300d0a0d0a"}) {  // + CL 0
    r = get("/raw?hold=" + silence + "&hex=" + hex);
    EXPECT_EQ(r->status, 0u) << hex;
    EXPECT_EQ(str(r->error), stopped) << hex;
  }
  // The same head closed at once is no failure: status 0 and no text.
  r = get("/raw?hex=485454502f312e310d0a0d0a");
  EXPECT_EQ(r->status, 0u);
  EXPECT_EQ(r->error, nullptr);
}

TEST_F(HttpWire, DeadlineBoundsATricklingServer) {
  // Each byte comes well within the I/O time-out, so only the deadline can
  // end this reply. The deadline leaves the head and its first byte a margin
  // far above what a reply took just before.
  bool answered = false;
  const uint32_t seconds = msFarAbove([&] { return get("/status/200")->status == 200; }, 5000, answered) / 1000;
  ASSERT_TRUE(answered);
  Http::limits().requestDeadlineMs = seconds * 1000;
  auto r = get("/trickle?every=0.05");
  EXPECT_EQ(r->status, 200u);
  EXPECT_EQ(str(r->error), "request timed out after " + std::to_string(seconds) + " seconds");
  EXPECT_GT(r->body->length(), 0u);
}

TEST_F(HttpWire, CannotConnect) {
  // Port 1 on the loopback: nothing listens there.
  auto r = Http::get(Url::withCString("http://127.0.0.1:1/"));
  EXPECT_EQ(r->status, 0u);
  EXPECT_EQ(str(r->error), "cannot connect to 127.0.0.1:1");
}

TEST_F(HttpWire, Redirects) {
  // Five redirects and a 200: six requests.
  for (const char* mode : {"rel", "abs", "root"}) {
    auto r = get(std::string("/chain/5?mode=") + mode);
    EXPECT_EQ(r->status, 200u) << mode;
    EXPECT_EQ(bytes(r->body), "done") << mode;
    EXPECT_EQ(str(r->url->toString()), base + "/chain/0?mode=" + mode) << mode;
  }
  auto r = get("/chain/6");
  EXPECT_EQ(r->status, 0u);
  EXPECT_EQ(str(r->error), "too many redirects");
  EXPECT_EQ(str(r->url->toString()), base + "/chain/6");

  r = get("/loop");
  EXPECT_EQ(str(r->error), "too many redirects");

  // A redirect without a Location, and a 304, are answers of their own.
  r = get("/status/302");
  EXPECT_EQ(r->status, 302u);
  EXPECT_EQ(bytes(r->body), "status 302");
  r = get("/status/304");
  EXPECT_EQ(r->status, 304u);

  // Every redirect code is followed with a GET.
  for (int code : {301, 302, 303, 307, 308}) {
    r = get("/redirect?code=" + std::to_string(code) + "&to=/echo");
    EXPECT_EQ(r->status, 200u) << code;
    EXPECT_EQ(bytes(r->body).substr(0, 20), "GET /echo HTTP/1.1\r\n") << code;
  }
  // A redirect behind interim replies is one.
  r = get("/continue/redirect?to=/echo");
  EXPECT_EQ(bytes(r->body).substr(0, 20), "GET /echo HTTP/1.1\r\n");
  // An absolute target, in any case of its scheme.
  r = get("/redirect?to=HTTP://" + hostField() + "/status/201");
  EXPECT_EQ(r->status, 201u);
}

TEST_F(HttpWire, RedirectTargetsAreCheckedLikeUrls) {
  // A Location with a space (it cannot hold CR or LF: the head is split at
  // LF and the value trimmed) must not reach the request line.
  auto r = get("/redirect?to=/echo%20HTTP/1.1%0d%0aX-Injected:%201");
  EXPECT_EQ(r->status, 0u);
  EXPECT_EQ(str(r->error), "invalid URL");
  // An https target without a layer, from plain http, is refused as such.
  Http::setSecureLayer(nullptr);
  r = get("/redirect?to=https://localhost/");
  EXPECT_EQ(str(r->error), "https needs a TLS layer (Http.setSecureLayer)");
  r = get("/redirect?to=ftp://h/x");  // not absolute for the client: a path
  EXPECT_EQ(r->status, 404u);
  // A malformed target authority is refused before it is looked up (Url_test
  // reads every kind); only the server itself is asked for.
  HostsAsked asked;
  const std::pair<std::string, std::string> targets[] = {
      {"http://127.0.0.1:80x/", "invalid port in URL"}, {"http://[::1]]:80/", "invalid URL"},
      {"https://127.0.0.1:-1/", "invalid port in URL"},  // before the missing TLS layer
  };
  for (const auto& [target, error] : targets) {
    asked.hosts.clear();
    r = get("/redirect?to=" + target);
    EXPECT_EQ(r->status, 0u) << target;
    EXPECT_EQ(str(r->error), error) << target;
    EXPECT_EQ(asked.hosts, std::vector<std::string>{"127.0.0.1"}) << target;
  }
}

}  // namespace
