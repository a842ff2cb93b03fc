#include <gtest/gtest.h>

#include <random>
#include <string>

#include "Authorities.h"
#include "Rounds.h"
#include "net/Url.h"

using namespace quorl;

namespace {

std::string str(const Ref<String>& s) { return s ? std::string(s->cString(), s->byteLength()) : "(null)"; }

struct Parts {
  const char* text;
  const char* scheme;
  const char* host;
  uint32_t port;
  const char* path;
  const char* query;
};

const Parts kParts[] = {
    {"s://h:443/a/b?x=1#f", "s", "h", 443, "/a/b", "x=1#f"},
    {"S://H/", "S", "H", 0, "/", ""},
    {"s://h", "s", "h", 0, "/", ""},
    {"s://h?x", "s", "h", 0, "/", "x"},
    {"s://h:/p", "s", "h", 0, "/p", ""},
    {"s://h:80abc/", "s", "h", Url::kInvalidPort, "/", ""},  // a malformed port is never taken for none
    {"s://u:w@h:81/", "s", "u", Url::kInvalidPort, "/", ""},
    // An IPv6 literal is a host, its brackets kept; its colons are no port's.
    {"s://[::1]:81/", "s", "[::1]", 81, "/", ""},
    {"s://[2001:db8::7]?q", "s", "[2001:db8::7]", 0, "/", "q"},
    {"s://[::ffff:1.2.3.4]/p:q", "s", "[::ffff:1.2.3.4]", 0, "/p:q", ""},
    {"s://[::1:81/x", "s", "[::1:81", Url::kInvalidPort, "/x", ""},  // no ']': no port either
    {"h/x?y", "", "h", 0, "/x", "y"},
    {"", "", "", 0, "/", ""},
    {"http://h:65535/", "http", "h", 65535, "/", ""},
    {"http://h:0/", "http", "h", Url::kInvalidPort, "/", ""},
    {"http://h/a#frag", "http", "h", 0, "/a#frag", ""},
};

TEST(Url, AccessorsScanTheText) {
  for (const Parts& p : kParts) {
    SCOPED_TRACE(p.text);
    auto url = Url::withCString(p.text);
    EXPECT_EQ(str(url->scheme()), p.scheme);
    EXPECT_EQ(str(url->host()), p.host);
    EXPECT_EQ(url->port(), p.port);
    EXPECT_EQ(str(url->path()), p.path);
    EXPECT_EQ(str(url->query()), p.query);
  }
}

// Whatever an IPv6 literal holds, in brackets it is the host whole; port and path behind it read as for any host.
TEST(Url, BracketedHostsWhateverTheyHold) {
  std::mt19937 rng(45);
  const char kAlphabet[] = "0123456789abcdefABCDEF:.";
  for (int round = 0; round < 2000; round++) {
    std::string literal = "[";
    for (uint32_t n = 1 + rng() % 39; n > 0; n--) literal += kAlphabet[rng() % (sizeof kAlphabet - 1)];
    literal += "]";
    const uint32_t port = rng() % 3 ? rng() % 65536 : 0;
    const std::string path = rng() % 2 ? "/p:" + std::to_string(rng() % 100) : "";
    const std::string text = "http://" + literal + (port ? ":" + std::to_string(port) : "") + path;
    SCOPED_TRACE(text);
    auto url = Url::withCString(text.c_str());
    ASSERT_EQ(str(url->host()), literal);
    EXPECT_EQ(url->port(), port);
    EXPECT_EQ(str(url->path()), path.empty() ? "/" : path);
    EXPECT_EQ(str(Url::unbracketed(url->host())), literal.substr(1, literal.size() - 2));
  }
}

TEST(Url, UnbracketedHosts) {
  const std::pair<const char*, const char*> cases[] = {
      {"[::1]", "::1"}, {"[]", ""}, {"h", "h"}, {"[::1", "[::1"}, {"::1]", "::1]"}, {"[", "["}, {"", ""}};
  for (auto& [in, out] : cases) EXPECT_EQ(str(Url::unbracketed(String::withCString(in))), out) << in;
  EXPECT_EQ(str(Url::unbracketed(nullptr)), "");
}

TEST(Url, PortsOutsideTheRangeAreInvalidNotWrapped) {
  // 2^32 + 80 used to wrap to 80, and 65616 to a port of its own.
  EXPECT_EQ(Url::withCString("http://h:4294967376/")->port(), Url::kInvalidPort);
  EXPECT_EQ(Url::withCString("http://h:65536/")->port(), Url::kInvalidPort);
  EXPECT_EQ(Url::withCString("http://h:99999999999999999999/")->port(), Url::kInvalidPort);
  EXPECT_EQ(Url::withCString("http://h:00080/")->port(), 80u);
}

// A written port is 1..65535 in digits only, right behind the host; brackets hold one whole IPv6 literal.
TEST(Url, MalformedAuthoritiesAreNamed) {
  const char* const kPort = "invalid port in URL";
  const char* const kUrl = "invalid URL";
  const struct { const char* text; const char* fault; uint32_t port; } cases[] = {
      {"http://[::1]x:8080", kUrl, 0},   {"http://[::1]]:8080", kUrl, 0}, {"http://[]:80/", kUrl, 0},
      {"http://[::1/", kUrl, 0},         {"http://[[::1]:80/", kUrl, 0},  {"http://h]:80/", kUrl, 0},
      {"http://h[1]:80/", kUrl, 0},      {"http://[::1]:80]/", kPort, 0}, {"http://host:-1", kPort, 0},
      {"http://host:80x", kPort, 0},     {"http://host:0", kPort, 0},     {"http://h:+80/", kPort, 0},
      {"http://h:80:81/", kPort, 0},     {"http://h:8%30/", kPort, 0},    {"http://u:p@h:80/", kPort, 0},
      {"http://h:65536", kPort, 0},      {"http://h:4294967376/", kPort, 0}, {"http://h:18446744073709551696/", kPort, 0},
      // Sound ones of every shape are generated below.
      {"http://h:65535?q", nullptr, 65535}, {"http://[::1]:/", nullptr, 0}, {"http://:80/", nullptr, 80},
  };
  for (const auto& c : cases) {
    auto url = Url::withCString(c.text);
    EXPECT_EQ(str(url->authorityFault()), c.fault ? c.fault : "(null)") << c.text;
    EXPECT_EQ(url->port(), c.fault ? Url::kInvalidPort : c.port) << c.text;
  }
}

// Generated authorities, with or without a scheme and whatever follows them, read as they were made.
TEST(Url, GeneratedAuthoritiesReadAsMade) {
  test::AuthorityMaker maker(20240611);
  int faults[2] = {0, 0};
  for (int round = 0; round < test::rounds(20000); round++) {
    const test::Authority a = maker.next();
    const std::string text = maker.scheme() + a.text + maker.tail();
    SCOPED_TRACE(text);
    auto url = Url::withCString(text.c_str());
    ASSERT_EQ(str(url->authorityFault()), a.fault ? a.fault : "(null)");
    ASSERT_EQ(url->port(), a.fault ? Url::kInvalidPort : a.port);
    if (!a.fault) { ASSERT_EQ(str(url->host()), a.host); }
    if (a.fault) faults[a.fault[8] == 'p' ? 1 : 0]++;
  }
  EXPECT_GT(faults[0], 0);
  EXPECT_GT(faults[1], 0);
}

TEST(Url, FindAndAfterScheme) {
  auto url = Url::withCString("ab://cd://");
  EXPECT_EQ(url->_find("://", 0), 2u);
  EXPECT_EQ(url->_find("://", 3), 7u);
  EXPECT_EQ(url->_find("://", 8), kNotFound);
  EXPECT_EQ(url->_find("", 0), kNotFound);
  EXPECT_EQ(url->_find("ab://cd://x", 0), kNotFound);  // longer than the text
  EXPECT_EQ(url->_afterScheme(), 5u);
  EXPECT_EQ(Url::withCString("no scheme")->_afterScheme(), 0u);
}

TEST(Url, TextIsCopiedUpToItsFirstNul) {
  auto source = String::withBytes("http://h\0tail", 13);
  auto url = Url::withString(source);
  EXPECT_EQ(str(url->toString()), "http://h");
  source->appendCString("x");
  EXPECT_EQ(str(url->toString()), "http://h");
  EXPECT_EQ(url->toString().get(), url->toString().get());  // shared, not a copy
  EXPECT_EQ(str(Url::withString(nullptr)->toString()), "");
  EXPECT_FALSE(Url::withCString("a")->equals(Url::withCString("a")));
}

TEST(Url, PercentDecode) {
  const std::pair<const char*, const char*> cases[] = {
      {"a%2Fb%zz%4", "a/b%zz%4"}, {"%41%42", "AB"}, {"%4a", "J"}, {"%4A", "J"},
      {"a+b", "a+b"},             {"%", "%"},        {"%4", "%4"}, {"x%41", "xA"},
  };
  for (auto& [in, out] : cases) EXPECT_EQ(str(Url::percentDecode(String::withCString(in))), out) << in;
  EXPECT_EQ(str(Url::percentDecode(String::withCString("%00%FF"))), std::string("\0\xFF", 2));
  EXPECT_EQ(str(Url::percentDecode(nullptr)), "");
  EXPECT_EQ(Url::_hex('0'), 0);
  EXPECT_EQ(Url::_hex('f'), 15);
  EXPECT_EQ(Url::_hex('F'), 15);
  EXPECT_EQ(Url::_hex('g'), -1);
  EXPECT_EQ(Url::_hex('/'), -1);
}

TEST(Url, FileUrls) {
  auto drive = Url::withCString("file:///C:/My%20Dir/x.txt");
  EXPECT_TRUE(drive->isFileURL());
  EXPECT_EQ(str(drive->filePath()), "C:/My Dir/x.txt");
  EXPECT_EQ(str(drive->lastPathComponent()), "x.txt");
  EXPECT_EQ(str(drive->pathExtension()), "txt");
  EXPECT_EQ(str(Url::withCString("file://server/share/f")->filePath()), "/share/f");
  EXPECT_TRUE(Url::withCString("FILE:///tmp/a")->isFileURL());
  EXPECT_EQ(Url::withCString("s://h/x")->filePath(), nullptr);
  EXPECT_EQ(Url::withCString("File2://h/x")->filePath(), nullptr);
}

TEST(Url, PathComponents) {
  const std::pair<const char*, const char*> last[] = {
      {"s://h/", ""}, {"s://h/a/b/", "b"}, {"s://h/a%2Fb", "b"}, {"s://h/a?b/c", "a"}};
  for (auto& [in, out] : last) EXPECT_EQ(str(Url::withCString(in)->lastPathComponent()), out) << in;
  const std::pair<const char*, const char*> ext[] = {
      {"s://h/.profile", ""}, {"s://h/a.tar.gz", "gz"}, {"s://h/a.b/c", ""}, {"s://h/a.", ""}};
  for (auto& [in, out] : ext) EXPECT_EQ(str(Url::withCString(in)->pathExtension()), out) << in;
}

}  // namespace
