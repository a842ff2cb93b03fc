// The HTTP client's parsing, chunk decoding, redirect targets and the
// failures it finds before any connection.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "net/Http.h"
#include "Rounds.h"

using namespace quorl;

namespace {

std::string str(const Ref<String>& s) { return s ? std::string(s->cString(), s->byteLength()) : "(null)"; }
std::string bytes(const Ref<Data>& d) { return std::string(reinterpret_cast<const char*>(d->bytes()), d->length()); }

Ref<HttpResponse> parse(const std::string& reply, bool* framed = nullptr) {
  auto data = Data::withBytes(reply.data(), static_cast<uint32_t>(reply.size()));
  Http::ParseInfo info;
  auto r = Http::_parse(Url::withCString("http://h/"), data, &info);
  if (framed) *framed = info.framedComplete;
  EXPECT_EQ(info.headComplete, r->error == nullptr || r->status != 0 ||
                                   std::string(r->error->cString()) != "malformed response (no end of headers)");
  return r;
}

TEST(HttpParse, BodiesPlainBoundedAndShort) {
  auto r = parse("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello world");
  EXPECT_EQ(r->status, 200u);
  EXPECT_EQ(bytes(r->body), "hello");
  EXPECT_EQ(r->error, nullptr);

  r = parse("HTTP/1.1 200 OK\r\n\r\nevery byte to the end");
  EXPECT_EQ(bytes(r->body), "every byte to the end");
  EXPECT_EQ(r->error, nullptr);

  // A body shorter than announced is a failure with its status kept.
  r = parse("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n0123456789");
  EXPECT_EQ(r->status, 200u);
  EXPECT_EQ(bytes(r->body), "0123456789");
  EXPECT_EQ(str(r->error), "short body (10 of 100 bytes)");

  r = parse("HTTP/1.1 204 No Content\r\nContent-Length: 0\r\n\r\n");
  EXPECT_EQ(r->status, 204u);
  EXPECT_EQ(r->body->length(), 0u);
  EXPECT_EQ(r->error, nullptr);
}

TEST(HttpParse, ContentLengthIsStrictAndNeverWraps) {
  struct Case {
    const char* value;
    bool ok;
    const char* body;
  };
  const Case cases[] = {
      {"5", true, "hello"},
      {"0005", true, "hello"},
      {"5, 5", true, "hello"},
      {"0", true, ""},
      {"4294967301", false, ""},  // used to wrap to 5
      {"99999999999999999999", false, ""},
      // A malformed value fails the reply rather than framing a guess.
      {"", false, ""},
      {"abc", false, ""},
      {"5abc", false, ""},
      {"-5", false, ""},
      {"5, 6", false, ""},
      {"5,", false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    bool framed = false;
    auto r = parse(std::string("HTTP/1.1 200 OK\r\nContent-Length: ") + c.value + "\r\n\r\nhello world", &framed);
    if (c.ok) {
      EXPECT_EQ(r->status, 200u);
      EXPECT_EQ(bytes(r->body), c.body);
      EXPECT_EQ(r->error, nullptr);
      EXPECT_TRUE(framed);
    } else {
      EXPECT_EQ(r->status, 0u);
      EXPECT_EQ(str(r->error), "malformed response (bad Content-Length)");
      EXPECT_EQ(r->body->length(), 0u);
    }
  }
}

TEST(HttpParse, StatusLines) {
  const std::pair<const char*, uint32_t> cases[] = {
      {"HTTP/1.1 2000 X", 200}, {"HTTP/1.0 404", 404}, {"HTTP/1.1", 0},
      {" HTTP/1.1 301 Moved", 301}, {"HTTP/1.1 x200", 0}, {"HTTP/1.1 99", 99},
  };
  for (auto& [line, status] : cases) {
    SCOPED_TRACE(line);
    auto r = parse(std::string(line) + "\r\n\r\n");
    EXPECT_EQ(r->status, status);
    EXPECT_EQ(r->error, nullptr);
  }
  auto r = parse("http/1.1 200 OK\r\n\r\n");
  EXPECT_EQ(r->status, 0u);
  EXPECT_EQ(str(r->error), "malformed response (no status line)");
  for (const char* reply : {"", "HTTP/1.1 200 OK\n\nbody", "HTTP/1.1 200 OK\r\n\r", "HTTP/1.1 200 OK\r\n"}) {
    r = parse(reply);
    EXPECT_EQ(r->status, 0u) << reply;
    EXPECT_EQ(str(r->error), "malformed response (no end of headers)") << reply;
  }
}

TEST(HttpParse, HeaderFields) {
  auto r = parse(
      "HTTP/1.1 200 OK\r\nSet-Cookie: a\r\nX-A : v \r\nno colon here\r\nset-cookie: b\r\n"
      " folded continuation\r\nLocation:\t/x\r\n\r\n");
  EXPECT_EQ(str(r->header("set-cookie")), "a, b");
  EXPECT_EQ(str(r->header("X-A")), "v");
  EXPECT_EQ(str(r->header("LOCATION")), "/x");
  EXPECT_EQ(r->header("folded continuation"), nullptr);
  EXPECT_EQ(r->header("no colon here"), nullptr);
  EXPECT_EQ(r->headers->count(), 3u);  // set-cookie, x-a, location
  EXPECT_EQ(r->header(static_cast<const char*>(nullptr)), nullptr);
}

TEST(HttpParse, ChunkedBodies) {
  struct Case {
    const char* body;
    bool ok;
    const char* decoded;
  };
  const Case cases[] = {
      {"5\r\nhello\r\n0\r\n\r\n", true, "hello"},
      {"5;n=v\r\nhello\r\n0\r\n\r\n", true, "hello"},
      {"A\r\n0123456789\r\n0\r\n\r\n", true, "0123456789"},
      {"5\r\nhello\r\n6\r\n world\r\n0\r\nTrailer: x\r\n\r\n", true, "hello world"},
      {"0000000005\r\nhello\r\n0\r\n\r\n", true, "hello"},
      {"5\r\nhello\r\n", false, "hello"},                      // no last chunk
      {"5\r\nhello\r\n0", false, "hello"},                     // its line cut: maybe "0000000005" and more
      {"5\r\nhello\r\n000", false, "hello"},
      {"5\r\nhello\r\n0\r\n", true, "hello"},                 // the trailer section cut: the body is whole
      {"5\r\nhello\r\n100000005\r\nworld\r\n0\r\n", false, "hello"},  // 33 bits: used to wrap to 5
      {"5\r\nhello\r\nffffffff\r\nworld\r\n0\r\n", false, "hello"},
      {"5\r\nhello\r\n20\r\nworld", false, "hello"},           // more than remains
      {"5\r\nhello\r\nzz\r\n", false, "hello"},               // no digit
      {"", false, ""},
      {"5", false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.body);
    bool framed = !c.ok;
    auto r = parse(std::string("HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip, Chunked\r\nContent-Length: 1\r\n\r\n") +
                       c.body,
                   &framed);
    EXPECT_EQ(r->status, 200u);
    EXPECT_EQ(bytes(r->body), c.decoded);
    EXPECT_EQ(framed, c.ok);
    if (c.ok)
      EXPECT_EQ(r->error, nullptr);
    else
      EXPECT_EQ(str(r->error), "malformed chunked body");
  }
}

TEST(HttpParse, DechunkBounds) {
  const std::string b = "xx3\r\nabc\r\n0\r\n\r\n";
  const auto* p = reinterpret_cast<const uint8_t*>(b.data());
  Data out;
  EXPECT_TRUE(Http::_dechunk(p, 2, static_cast<uint32_t>(b.size()), out));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(out.bytes()), out.length()), "abc");
  Data none;
  EXPECT_FALSE(Http::_dechunk(p, 5, 5, none));
  EXPECT_FALSE(Http::_dechunk(p, 6, 5, none));
  // The end bounds the data: a chunk that runs past it fails.
  Data cut;
  EXPECT_FALSE(Http::_dechunk(p, 2, 7, cut));
  EXPECT_EQ(cut.length(), 0u);
}

// Any interim replies (1xx but 101) with any fields ahead of a final reply: the final one is the reply, alone.
TEST(HttpParse, InterimRepliesArePassedOverWhateverTheyHold) {
  constexpr int kRounds = test::rounds(3000);
  std::mt19937 rng(45);
  for (int round = 0; round < kRounds; round++) {
    std::string reply;
    const int interims = static_cast<int>(rng() % 6);
    for (int i = 0; i < interims; i++) {
      uint32_t code = 100 + rng() % 100;
      if (code == 101) code = 103;
      reply += (rng() % 4 == 0 ? " HTTP/1.0 " : "HTTP/1.1 ") + std::to_string(code) + (rng() % 2 ? " Hint" : "") + "\r\n";
      for (uint32_t f = rng() % 4; f > 0; f--) reply += "X-I" + std::to_string(f) + ": " + std::to_string(rng()) + "\r\n";
      reply += "\r\n";
    }
    const uint32_t code = 200 + rng() % 400;
    std::string body(rng() % 40, 'b');
    for (char& c : body) c = static_cast<char>('a' + rng() % 26);
    reply += "HTTP/1.1 " + std::to_string(code) + " Final\r\nX-F: f\r\nContent-Length: " + std::to_string(body.size()) +
             "\r\n\r\n" + body + (rng() % 2 ? "trailing" : "");
    SCOPED_TRACE(reply);
    bool framed = false;
    auto r = parse(reply, &framed);
    ASSERT_EQ(r->status, code);
    EXPECT_EQ(bytes(r->body), code == 204 || code == 304 ? "" : body);  // these end with their head
    EXPECT_EQ(r->error, nullptr);
    EXPECT_TRUE(framed);
    EXPECT_EQ(str(r->header("x-f")), "f");
    EXPECT_EQ(r->headers->count(), 2u);  // X-F and Content-Length: no interim field
  }
  // Without a final reply there is no reply; a 101 is final.
  auto r = parse("HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 103 Early Hints\r\nLink: </a>\r\n\r\n");
  EXPECT_EQ(str(r->error), "malformed response (no end of headers)");
  r = parse("HTTP/1.1 101 Switching Protocols\r\n\r\nHTTP/1.1 200 OK\r\n\r\n");
  EXPECT_EQ(r->status, 101u);
  EXPECT_EQ(r->body->length(), 0u);  // what follows a 101 speaks another protocol
  r = parse("HTTP/1.1 100 Continue\r\n\r\nhttp/1.1 200 OK\r\n\r\n");
  EXPECT_EQ(str(r->error), "malformed response (no status line)");
}

// Random final heads, interim replies ahead, framing fields right, wrong or
// malformed, bytes after them: a 1xx, 204 or 304 reply ends with its head
// whatever its fields say; any other is framed by its fields alone.
TEST(HttpParse, RepliesWithoutABodyEndWithTheirHead) {
  constexpr int kRounds = test::rounds(4000);
  std::mt19937 rng(::testing::UnitTest::GetInstance()->random_seed());
  const uint32_t bodiless[] = {101, 204, 304};
  int withoutBody = 0;
  for (int round = 0; round < kRounds; round++) {
    std::string reply;
    for (int i = static_cast<int>(rng() % 3); i > 0; i--) reply += "HTTP/1.1 100 Continue\r\n\r\n";
    const bool noBody = rng() % 2 == 0;
    const uint32_t code = noBody ? bodiless[rng() % 3] : [&] {
      for (;;)
        if (uint32_t c = 200 + rng() % 400; !Http::_hasNoBody(c)) return c;
    }();
    std::string body(rng() % 30, 'b');
    for (char& c : body) c = static_cast<char>('a' + rng() % 26);
    const std::string more = rng() % 2 ? "HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nabc" : "";
    // 0: unframed, 1: Content-Length, 2: chunked, 3: Content-Length and chunked.
    const uint32_t framing = rng() % 4;
    // Without a body by status, any length is said, even one that is no number.
    const std::string said = !noBody || rng() % 2 ? std::to_string(body.size())
                             : rng() % 2         ? std::to_string(rng() % 100000)
                                                 : "x" + std::to_string(rng() % 10);
    std::string head = "HTTP/1.1 " + std::to_string(code) + " Reason\r\nX-F: " + std::to_string(round) + "\r\n";
    if (framing & 1) head += "Content-Length: " + said + "\r\n";
    if (framing & 2) head += "Transfer-Encoding: chunked\r\n";
    std::string wire = framing & 2 ? "" : body;
    for (size_t at = 0, n = 1; framing & 2 && n > 0; at += n) {  // chunks of up to 7 bytes, then the last
      n = std::min<size_t>(7, body.size() - at);
      wire += std::to_string(n) + "\r\n" + body.substr(at, n) + "\r\n";
    }
    // Without a body by status, what follows the head is anything at all: a body or the next reply.
    if (noBody && rng() % 3 == 0) wire = more;
    reply += head + "\r\n" + wire + (framing != 0 && !noBody ? more : "");
    SCOPED_TRACE(reply);
    bool framed = false;
    auto r = parse(reply, &framed);
    ASSERT_EQ(r->status, code);
    EXPECT_EQ(str(r->header("x-f")), std::to_string(round));
    EXPECT_EQ(r->error, nullptr);
    EXPECT_EQ(framed, noBody || framing != 0);
    EXPECT_EQ(bytes(r->body), noBody ? "" : body);
    EXPECT_EQ(r->hasNoBody(), noBody);
    withoutBody += noBody;
  }
  EXPECT_GT(withoutBody, kRounds / 4);
  for (uint32_t status = 0; status < 1000; status++)  // the rule itself, at every code
    EXPECT_EQ(Http::_hasNoBody(status), status / 100 == 1 || status == 204 || status == 304) << status;
}

TEST(HttpResolve, LocationsAgainstABase) {
  auto base = Url::withCString("http://h:8080/a/b?q");
  const std::pair<const char*, const char*> cases[] = {
      {"c", "http://h:8080/a/c"},
      {"/x", "http://h:8080/x"},
      {"?z", "http://h:8080/a/?z"},
      {"HTTPS://o/y", "HTTPS://o/y"},
      {"//cdn/x", "http://h:8080//cdn/x"},
      {"", "http://h:8080/a/"},
  };
  for (auto& [location, target] : cases)
    EXPECT_EQ(str(Http::_resolve(base, String::withCString(location))->toString()), target) << location;
  // An IPv6 base keeps its brackets, its port after them.
  base = Url::withCString("http://[::1]:8080/a/b");
  EXPECT_EQ(str(Http::_resolve(base, String::withCString("c"))->toString()), "http://[::1]:8080/a/c");
  EXPECT_EQ(str(Http::_resolve(Url::withCString("http://[fe80::2]/"), String::withCString("/x"))->toString()),
            "http://[fe80::2]/x");
  EXPECT_EQ(str(Http::_resolve(Url::withCString("HTTP://h"), String::withCString("x"))->toString()), "HTTP://h/x");
}

TEST(HttpResponse, FailureHeaderAndDescription) {
  auto url = Url::withCString("http://h/");
  auto r = HttpResponse::failure(url, "no host in URL");
  EXPECT_EQ(r->status, 0u);
  EXPECT_EQ(str(r->error), "no host in URL");
  EXPECT_EQ(r->url, url);
  EXPECT_EQ(r->headers->count(), 0u);
  EXPECT_EQ(r->body->length(), 0u);
  r->status = 404;
  EXPECT_EQ(str(r->description()), "<HttpResponse>(404)");
  EXPECT_EQ(str(make<_HttpSocket>()->description()), "<_HttpSocket>(-1, 0)");
  EXPECT_EQ(str(make<Socket>()->description()), "<Socket>(-1, 0)");
  SocketError e(String::withCString("boom"));
  EXPECT_EQ(str(e.message()), "boom");
}

// Failures found before a connection is made: none of these reaches a socket.
TEST(HttpOnce, RefusedBeforeConnecting) {
  Http::setSecureLayer(nullptr);
  const std::pair<const char*, const char*> cases[] = {
      {"FTP://h/", "unsupported scheme 'ftp'"},
      {"h/x", "unsupported scheme ''"},
      {"http:///x", "no host in URL"},
      {"HTTPS://h/", "https needs a TLS layer (Http.setSecureLayer)"},
      {"http://h:65536/", "invalid port in URL"},
      {"http://h:4294967376/", "invalid port in URL"},
      {"http://h/a b", "invalid URL"},
      {"http://h/a\r\nX-Injected: 1", "invalid URL"},
      {"http://h\r\nX: 1/", "invalid URL"},
      {"http://h/\x7f", "invalid URL"},
      {"http://h/a\tb", "invalid URL"},
  };
  for (auto& [text, error] : cases) {
    auto r = Http::get(Url::withCString(text));
    EXPECT_EQ(r->status, 0u) << text;
    EXPECT_EQ(str(r->error), error) << text;
    EXPECT_EQ(str(r->url->toString()), text);
  }
}

TEST(HttpOnce, InstallerIsAskedForAMissingLayer) {
  Http::setSecureLayer(nullptr);
  int asked = 0;
  auto r = Http::get(Url::withCString("https://h/"), [&]() -> Ref<String> {
    asked++;
    return String::withCString("no CA bundle for https (put cacert.pem beside the program)");
  });
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(str(r->error), "no CA bundle for https (put cacert.pem beside the program)");
  // An http request never asks.
  Http::get(Url::withCString("http:///"), [&]() -> Ref<String> {
    asked++;
    return nullptr;
  });
  EXPECT_EQ(asked, 1);
}

}  // namespace
