// The benchmark-server client against the local test server.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <cctype>
#include <iterator>
#include <fstream>
#include <future>
#include <vector>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "Authorities.h"
#include "HostsAsked.h"
#include "Rounds.h"
#include "Support.h"
#include "TestServer.h"
#include "foundation/JSON.h"
#include "foundation/Number.h"
#include "net/HttpTls.h"
#include "net/Net.h"

using namespace quorl;
using namespace quorl::test;

namespace {

Ref<String> s(const std::string& text) { return make<String>(std::string_view(text)); }

// Every test starts from a process that has set nothing up: no layer, no
// error, no program path; the system bundles and the library's own set-up
// are taken away unless a test gives them back.
class NetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Net::_reset();
    Http::setSecureLayer(nullptr);
    savedBundles = HttpTls::_systemBundles();
    savedAbi = Net::_abiLevel();
    HttpTls::_systemBundles() = {};
    Net::_abiLevel() = [] { return 0; };
    dir = std::filesystem::temp_directory_path() /
          ("quorl-net-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    std::filesystem::create_directories(dir);
  }
  void TearDown() override {
    HttpTls::_systemBundles() = savedBundles;
    Net::_abiLevel() = savedAbi;
    Net::_reset();
    Http::setSecureLayer(nullptr);
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
  }
  static TestServer& server() { return TestServer::shared(); }
  // Gives Net the test CA as if it were the system's bundle.
  void trustTestCa() { HttpTls::_systemBundles() = {server().ca}; }
  bool haveHttps() const { return !server().https.empty() && !server().ca.empty(); }

  std::vector<std::string> savedBundles;
  std::function<int32_t()> savedAbi;
  std::filesystem::path dir;
  LimitsScope limits;
};

TEST_F(NetTest, ServerFromTheEnvironment) {
  setEnv("QUORL_BENCH_SERVER", nullptr);
  EXPECT_EQ(str(Net::server()), Net::kDefaultServer);
  setEnv("QUORL_BENCH_SERVER", "");
  EXPECT_EQ(str(Net::server()), Net::kDefaultServer);
  setEnv("QUORL_BENCH_SERVER", "http://127.0.0.1:9/x");
  EXPECT_EQ(str(Net::server()), "http://127.0.0.1:9/x");
  // "%s/benchmarks/corpus.php" must not get a double slash.
  setEnv("QUORL_BENCH_SERVER", "http://127.0.0.1:9//");
  EXPECT_EQ(str(Net::server()), "http://127.0.0.1:9");
  // Set, but to slashes only: still the caller's value, never the default.
  setEnv("QUORL_BENCH_SERVER", "/");
  EXPECT_EQ(str(Net::server()), "");
  // Set, but too long for the environment's reader: no server at all, and
  // never the default in place of the one the user named.
  const std::string named = "http://127.0.0.1:9/";
  setEnv("QUORL_BENCH_SERVER", (named + std::string(4095 - named.size(), 'p')).c_str());
  EXPECT_EQ(str(Net::server()).size(), 4095u);
  setEnv("QUORL_BENCH_SERVER", (named + std::string(4096 - named.size(), 'p')).c_str());
  EXPECT_EQ(Net::server(), nullptr);
  EXPECT_EQ(str(Net::lastError()), "QUORL_BENCH_SERVER is longer than 4095 bytes");
  setEnv("QUORL_BENCH_SERVER", nullptr);
  EXPECT_EQ(std::string(Net::kDefaultServer).substr(0, 8), "https://");
}

TEST_F(NetTest, LastErrorKeepsTheNewestFailure) {
  EXPECT_EQ(str(Net::lastError()), "unknown error");
  EXPECT_EQ(Net::get(s("ftp://h/")), nullptr);
  EXPECT_EQ(str(Net::lastError()), "unsupported scheme 'ftp'");
  QUORL_REQUIRE_SERVER(server());
  ASSERT_NE(Net::get(s(server().http + "/status/200")), nullptr);
  EXPECT_EQ(str(Net::lastError()), "unsupported scheme 'ftp'");  // a success clears nothing
  EXPECT_EQ(Net::get(s(server().http + "/status/404")), nullptr);
  EXPECT_EQ(str(Net::lastError()), "the server answered 404");
}

TEST_F(NetTest, GetOverPlainHttpNeedsNoBundle) {
  QUORL_REQUIRE_SERVER(server());
  Ref<String> corpus = Net::get(s(server().http + "/benchmarks/corpus.php"));
  ASSERT_NE(corpus, nullptr) << str(Net::lastError());
  Ref<Object> doc = JSON::parse(corpus);
  ASSERT_TRUE(isA<Map>(doc));
  EXPECT_TRUE(cast<Map>(doc)->contains(String::withCString("contributions")));
  EXPECT_EQ(Http::secureLayer(), nullptr);  // nothing was set up for it
  EXPECT_EQ(str(Net::lastError()), "unknown error");
}

// Every 2xx is a success, also behind interim replies; the body as it came.
TEST_F(NetTest, GetAnswersEverySuccess) {
  QUORL_REQUIRE_SERVER(server());
  const std::string base = server().http;
  const std::string http6 = server().http6.empty() ? base : server().http6;
  for (const std::string& url : {base + "/status/200", base + "/status/201", base + "/status/203", base + "/status/299",
                                 base + "/continue/status/200", base + "/continue/status/202", http6 + "/status/200"})
    EXPECT_EQ(str(Net::get(s(url))), "status " + url.substr(url.size() - 3)) << url << ": " << str(Net::lastError());
  EXPECT_EQ(Net::get(s(base + "/status/300")), nullptr);
  EXPECT_EQ(str(Net::lastError()), "the server answered 300");
}

TEST_F(NetTest, GetFailureTexts) {
  QUORL_REQUIRE_SERVER(server());
  const std::string base = server().http;
  const std::pair<std::string, std::string> cases[] = {
      {base + "/status/500", "the server answered 500"},
      {base + "/status/302", "the server answered 302"},
      {base + "/short", "short body (10 of 100 bytes)"},
      {base + "/badchunk?kind=nolast", "malformed chunked body"},
      {base + "/length?value=4294967301", "malformed response (bad Content-Length)"},
      {base + "/close", "malformed response (no end of headers)"},
      {base + "/trickle?every=0.05", "request timed out after 2 seconds"},
      {base + "/chain/6", "too many redirects"},
      // No body by their status: nothing that followed the head is taken for the text asked for.
      {base + "/raw/" + hex("HTTP/1.1 204 No Content\r\n\r\n{\"contributions\":[]}"), "the server answered 204"},
      {base + "/raw/" + hex("HTTP/1.1 304 Not Modified\r\nContent-Length: 8\r\n\r\n{\"a\":1}"), "the server answered 304"},
      {base + "/echo x", "invalid URL"},
      {"http://127.0.0.1:1/", "cannot connect to 127.0.0.1:1"},
      {"http://127.0.0.1:70000/", "invalid port in URL"},
      {"http:///x", "no host in URL"},
  };
  for (auto& [url, error] : cases) {
    // Only the trickle needs the deadline; the rest answer at once, however
    // loaded the machine is.
    Http::limits().requestDeadlineMs = url.find("/trickle") != std::string::npos ? 2000 : HttpLimits().requestDeadlineMs;
    EXPECT_EQ(Net::get(s(url)), nullptr) << url;
    EXPECT_EQ(str(Net::lastError()), error) << url;
  }
  // A Content-Length without digits fails like one that wraps.
  EXPECT_EQ(Net::get(s(base + "/length?value=x")), nullptr);
  EXPECT_EQ(str(Net::lastError()), "malformed response (bad Content-Length)");
}

TEST_F(NetTest, HttpsWithoutAnyBundle) {
  EXPECT_FALSE(Net::installTls());
  EXPECT_EQ(str(Net::lastError()), "no CA bundle for https (put cacert.pem beside the program)");
  Net::_reset();
  EXPECT_EQ(Net::get(s("https://localhost:1/")), nullptr);
  EXPECT_EQ(str(Net::lastError()), "no CA bundle for https (put cacert.pem beside the program)");
  Net::_reset();
  EXPECT_EQ(Net::post(s("https://localhost:1/"), s("{}")), nullptr);
  EXPECT_EQ(str(Net::lastError()), "no CA bundle for https (put cacert.pem beside the program)");
}

TEST_F(NetTest, HttpsGetAndInstallOnce) {
  QUORL_REQUIRE_SERVER(server());
  if (!haveHttps()) GTEST_SKIP() << "no HTTPS";
  trustTestCa();
  Ref<String> corpus = Net::get(s(server().https + "/benchmarks/corpus.php"));
  ASSERT_NE(corpus, nullptr) << str(Net::lastError());
  EXPECT_EQ(str(corpus), str(Net::get(s(server().http + "/benchmarks/corpus.php"))));
  // Once set up, the search is not made again.
  HttpTls::_systemBundles() = {};
  Ref<HttpSecureLayer> layer = Http::secureLayer();
  EXPECT_TRUE(Net::installTls());
  EXPECT_EQ(Http::secureLayer(), layer);
  EXPECT_EQ(Net::get(s(server().wrong + "/")), nullptr);
  EXPECT_EQ(str(Net::lastError()),
            "TLS handshake with localhost failed: name `localhost' not present in server certificate");
}

TEST_F(NetTest, CacertBesideTheProgram) {
  QUORL_REQUIRE_SERVER(server());
  if (!haveHttps()) GTEST_SKIP() << "no HTTPS";
  // A system bundle that does not load is passed over.
  const std::string broken = (dir / "broken.pem").string();
  std::ofstream(broken) << "nothing\n";
  HttpTls::_systemBundles() = {broken};
  std::filesystem::copy_file(server().ca, dir / "cacert.pem");
  Net::setProgramPath(s((dir / "quorl.exe").string()));
  EXPECT_TRUE(Net::installTls());
  EXPECT_NE(Net::get(s(server().https + "/status/200")), nullptr) << str(Net::lastError());

  // A bare program name names no directory.
  Net::_reset();
  Http::setSecureLayer(nullptr);
  Net::setProgramPath(s("quorl.exe"));
  EXPECT_FALSE(Net::installTls());
}

// A bundle that lies there but cannot be taken is named with its fault,
// never told as missing.
TEST_F(NetTest, RefusedBundlesSayWhy) {
  QUORL_REQUIRE_SERVER(server());  // its test CA, spoilt in several ways
  const std::string none = "no CA bundle for https (put cacert.pem beside the program): ";
  const std::string beside = dir.string() + "/cacert.pem", system = (dir / "system.pem").string();  // '/' everywhere
  std::ifstream in(server().ca, std::ios::binary);
  const std::string ca((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::string cut = ca;
  const size_t second = cut.find('\n', cut.find('\n') + 1) + 1;  // a whole line from its middle: the frame
  cut.erase(second, cut.find('\n', second) + 1 - second);          // starts as before and says more bytes
  const std::string emptySequence = "-----BEGIN CERTIFICATE-----\nMAA=\n-----END CERTIFICATE-----\n";
  const std::string trailing = withTrailingBytes(ca), secondEmpty = ca + emptySequence;
  const std::string secondUnended = ca + ca.substr(0, ca.find("-----END"));  // the file cut before its END line
  std::ofstream(system, std::ios::binary) << "garbage";
  // beside null: a folder; a size: the text, then zero bytes up to it
  const struct { const char* beside; bool systemToo; std::string error; uint64_t size = 0; } cases[] = {
      {"-----BEGIN CERTIFICATE-----\nnot base64\n-----END CERTIFICATE-----\n", false, beside + ": block 1 is not a certificate"},
      {cut.c_str(), false, beside + ": block 1 is not a certificate"},
      {emptySequence.c_str(), false, beside + ": block 1 is not a certificate"},
      {trailing.c_str(), false, beside + ": block 1 has bytes after its certificate"},
      {secondEmpty.c_str(), false, beside + ": block 2 is not a certificate"},
      {secondUnended.c_str(), false, beside + ": block 2 is not a certificate"},
      {"", false, beside + " is empty"},
      {"", false, beside + " holds no certificate", kMaxBundleBytes},
      {"", false, beside + " is larger than 16 MiB", kMaxBundleBytes + 1},  // by its size, not its bytes
      {nullptr, false, beside + " is a folder"},
      {nullptr, true, system + " holds no certificate; " + beside + " is a folder"},
  };
  Net::setProgramPath(s((dir / "quorl.exe").string()));
  std::chrono::steady_clock::duration slowest{};
  for (const auto& c : cases) {
    std::filesystem::remove_all(beside);
    if (c.beside) std::ofstream(beside, std::ios::binary) << c.beside;
    else std::filesystem::create_directory(beside);
    if (c.size) std::filesystem::resize_file(beside, c.size);
    HttpTls::_systemBundles() = c.systemToo ? std::vector<std::string>{system} : std::vector<std::string>{};
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(Net::installTls());
    slowest = std::max(slowest, std::chrono::steady_clock::now() - start);
    EXPECT_EQ(str(Net::lastError()), none + c.error);
    EXPECT_EQ(Http::secureLayer(), nullptr);
  }
#ifndef _WIN32
  // A pipe is refused at once, where a read would wait for a writer forever.
  std::filesystem::remove_all(beside);
  ASSERT_EQ(::mkfifo(beside.c_str(), 0600), 0);
  auto refusal = std::async(std::launch::async, [] { return Net::installTls(); });
  if (refusal.wait_for(std::max<std::chrono::steady_clock::duration>(std::chrono::seconds(30), slowest * 20)) !=
      std::future_status::ready) {
    ADD_FAILURE() << "the search waits on the pipe";
    const int writer = ::open(beside.c_str(), O_WRONLY | O_NONBLOCK);  // one that comes and goes ends the read
    if (writer >= 0) ::close(writer);
  }
  EXPECT_FALSE(refusal.get());
  EXPECT_EQ(str(Net::lastError()), none + system + " holds no certificate; " + beside + " is not a regular file");
#endif
}

#ifdef _WIN32
// Never a bundle from "/etc/ssl/cert.pem", a folder on the current drive (here
// the prefix's C:) that any local user may create: the system's store, else none.
TEST_F(NetTest, NoBundleIsReadFromTheCurrentDrive) {
  QUORL_REQUIRE_SERVER(server());
  if (!haveHttps()) GTEST_SKIP() << "no HTTPS";
  HttpTls::_systemBundles() = savedBundles;  // the program's own
  // Under Wine a path from '/' reaches the host's files, so the list is
  // checked itself: only a path with its drive names the same file for everyone.
  for (const std::string& path : savedBundles)
    EXPECT_TRUE(path.size() > 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' &&
                (path[2] == '\\' || path[2] == '/'))
        << path << " names a file on whichever drive is current";
  const std::filesystem::path planted = dir.root_path() / L"etc" / L"ssl" / L"cert.pem";  // trusts the test CA
  std::filesystem::create_directories(planted.parent_path());
  std::filesystem::copy_file(server().ca, planted, std::filesystem::copy_options::overwrite_existing);
  const std::filesystem::path saved = std::filesystem::current_path();
  std::filesystem::current_path(dir);
  Net::_abiLevel() = savedAbi;
  ASSERT_TRUE(Net::installTls()) << str(Net::lastError());  // the system's store, which does not know the test CA
  EXPECT_EQ(Net::get(s(server().https + "/status/200")), nullptr);
  EXPECT_EQ(str(Net::lastError()), "TLS handshake with localhost failed: unable to get local issuer certificate");
  Net::_reset();
  Http::setSecureLayer(nullptr);
  Net::_abiLevel() = [] { return 0; };  // where the store cannot be set up
  EXPECT_FALSE(Net::installTls());
  EXPECT_EQ(str(Net::lastError()), "no CA bundle for https (put cacert.pem beside the program)");
  std::filesystem::current_path(saved);
  std::error_code ignored;
  std::filesystem::remove_all(dir.root_path() / L"etc", ignored);
}
#endif

TEST_F(NetTest, SetUpWithoutABundleFile) {
  Net::_abiLevel() = [] { return 1; };
  EXPECT_TRUE(Net::installTls());
  EXPECT_NE(Http::secureLayer(), nullptr);
}

TEST_F(NetTest, PostRequestBytes) {
  QUORL_REQUIRE_SERVER(server());
  const std::string host = server().http.substr(7);
  const std::string body = "{\"a\":[1,2,3]}";
  Ref<HttpResponse> r = Net::post(s(server().http + "/echo?not=sent#frag"), s(body));
  ASSERT_NE(r, nullptr) << str(Net::lastError());
  EXPECT_EQ(r->status, 200u);
  EXPECT_EQ(bytes(r->body), "POST /echo HTTP/1.1\r\nHost: " + host +
                                "\r\nUser-Agent: quorl-lumaro/1\r\nContent-Type: application/json\r\n"
                                "Content-Length: 13\r\nConnection: close\r\n\r\n" +
                                body);
  // A caller's cap counts the whole reply: at it the reply stands, a byte below it none is kept.
  const size_t echoed = bytes(r->body).size();
  const uint32_t whole = uint32_t(
      echoed + ("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(echoed) + "\r\nConnection: close\r\n\r\n").size());
  ASSERT_NE(Net::post(s(server().http + "/echo"), s(body), whole), nullptr) << str(Net::lastError());
  EXPECT_EQ(Net::post(s(server().http + "/echo"), s(body), whole - 1), nullptr);
  EXPECT_EQ(str(Net::lastError()), "response larger than " + std::to_string(whole - 1) + " bytes");
  r = Net::post(s(server().http), s(""));  // path "/", which the server does not know
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->status, 404u);
}

TEST_F(NetTest, SubmitAndRefuseARepeat) {
  QUORL_REQUIRE_SERVER(server());
  const std::string url = server().http + "/benchmarks/submit.php";
  const std::string body = "{\"schema\":\"quorl-bench/1\",\"runs\":[],\"nonce\":" +
                           std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "}";
  Ref<HttpResponse> r = Net::post(s(url), s(body));
  ASSERT_NE(r, nullptr) << str(Net::lastError());
  EXPECT_EQ(r->status, 200u);
  auto reply = cast<Map>(JSON::parse(String::withBytes(r->body->bytes(), r->body->length())));
  ASSERT_NE(reply, nullptr);
  EXPECT_TRUE(isA<Number>(reply->get("id")));
  EXPECT_TRUE(isA<Number>(reply->get("count")));

  r = Net::post(s(url), s(body));
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->status, 429u);
  reply = cast<Map>(JSON::parse(String::withBytes(r->body->bytes(), r->body->length())));
  ASSERT_NE(reply, nullptr);
  EXPECT_TRUE(isA<String>(reply->get("error")));
  EXPECT_EQ(str(Net::lastError()), "unknown error");  // a refusal is an answer
}

TEST_F(NetTest, PostAnswersAndFailures) {
  QUORL_REQUIRE_SERVER(server());
  const std::string base = server().http;
  Ref<HttpResponse> r = Net::post(s(base + "/redirect"), s("{}"));
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->status, 302u);  // not followed
  EXPECT_EQ(str(r->header("location")), "/");

  const std::pair<std::string, std::string> cases[] = {
      {base + "/close", "the server sent nothing back"},
      {base + "/raw/485454502f312e3120323030204f4b0d0a436f6e74656e742d4c656e6774683a20343239343936373330310d0a0d0a68656c6c6f", "malformed response (bad Content-Length)"},  // a length past 32 bits
      {base + "/raw/485454502f312e310d0a0d0a", "the server answered 0"},  // "HTTP/1.1" and no code
      {base + "/raw/6e6f7468696e67", "malformed response (no end of headers)"},
      {base + "/short", "short body (10 of 100 bytes)"},
      {"ftp://127.0.0.1/x", "unsupported scheme 'ftp'"},
      {"127.0.0.1/x", "unsupported scheme ''"},
      {"http:///x", "no host in the URL"},
      {base + "/a b", "invalid URL"},
      {base + "/a\r\nX-Injected: 1", "invalid URL"},
      {"http://127.0.0.1:1/", "cannot connect to 127.0.0.1:1"},
      {"http://127.0.0.1:99999/", "invalid port in URL"},
  };
  for (auto& [url, error] : cases) {
    Net::_reset();
    EXPECT_EQ(Net::post(s(url), s("{}")), nullptr) << url;
    EXPECT_EQ(str(Net::lastError()), error) << url;
  }
  // A reply without a body by its status is the whole answer, whatever its length says, follows it or the cap.
  r = Net::post(s(base + "/raw/" + hex("HTTP/1.1 204 No Content\r\nContent-Length: 50\r\n\r\n" + pattern(3000))),
                s("{}"), 1000);
  ASSERT_NE(r, nullptr) << str(Net::lastError());
  EXPECT_EQ(r->status, 204u);
  EXPECT_EQ(r->body->length(), 0u);
}

// A reply before the body is all in is heard, whether the sending then fails or stalls; interim replies go on.
// The client's time-outs (30 s) stand far above a loaded server's answer, its silence (120 s) far above them.
TEST_F(NetTest, PostHearsAReplyThatComesBeforeTheBodyIsIn) {
  QUORL_REQUIRE_SERVER(server());
  const std::string body = "\"" + std::string(16 << 20, 'x') + "\"";  // far more than a connection holds unread
  const std::string refusal = "{\"error\": \"a contribution is at most 1 MB\"}";
  if (haveHttps()) trustTestCa();
  const struct { std::string base; const char* path; uint32_t status; std::string reply; } cases[] = {
      {server().http, "/early", 413, refusal},
      {server().http, "/early/120", 413, refusal},  // a POST sends no query
      {server().http, "/continue/status/201", 201, "status 201"},
      // Over TLS the reply is read once the sending has failed.
      {haveHttps() ? server().https : server().http, "/early", 413, refusal},
  };
  for (const auto& c : cases) {
    Net::_reset();
    Ref<HttpResponse> r = Net::post(s(c.base + c.path), s(body));
    EXPECT_NE(r, nullptr) << c.base + c.path << ": " << str(Net::lastError());
    if (!r) continue;
    EXPECT_EQ(r->status, c.status) << c.path;
    EXPECT_EQ(bytes(r->body), c.reply) << c.path;
    EXPECT_EQ(str(Net::lastError()), "unknown error") << c.path;
  }
  Ref<HttpResponse> echo = Net::post(s(server().http + "/continue/echo"), s(body));
  ASSERT_NE(echo, nullptr) << str(Net::lastError());
  const std::string wire = bytes(echo->body);
  EXPECT_EQ(wire.size() - wire.find("\r\n\r\n") - 4, body.size());
}

// A server that answers before the body is in, then neither reads nor closes: the sending stops at the
// answer (one that went on would stall and fail), and the I/O time-out then ends a whole reply, no failure.
// The time-out stands far above what the same answer just took, the server's silence far above it.
TEST_F(NetTest, PostStopsSendingAtTheAnswer) {
  QUORL_REQUIRE_SERVER(server());
  const std::string body = "\"" + std::string(16 << 20, 'x') + "\"";
  Ref<HttpResponse> r;
  bool answered = false;
  Http::limits().ioTimeoutMs = msFarAbove(
      [&] {
        r = Net::post(s(server().http + "/early/120"), s(body));  // answered, shut, then silent
        return r && r->status == 413;
      },
      10000, answered, 20);
  ASSERT_TRUE(answered) << str(Net::lastError());
  const std::string silence = std::to_string(Http::limits().ioTimeoutMs / 1000 * 4 + 60);
  r = Net::post(s(server().http + "/early/" + silence + "/open"), s(body));
  ASSERT_NE(r, nullptr) << str(Net::lastError());
  EXPECT_EQ(r->status, 413u);
  EXPECT_EQ(bytes(r->body), "{\"error\": \"a contribution is at most 1 MB\"}");
  EXPECT_EQ(r->error, nullptr);
  EXPECT_EQ(str(Net::lastError()), "unknown error");
}

// Whatever is malformed in an address's authority, GET and POST refuse it in its own words before any
// address is looked up or TLS set up, over http and https alike; a sound one is looked up.
TEST_F(NetTest, MalformedAuthoritiesAreRefusedBeforeAnyConnect) {
  HostsAsked asked;
  AuthorityMaker maker(91);
  for (int refused = 0; refused < rounds(400);) {
    const Authority a = maker.next();
    if (!a.fault) continue;
    const std::string url = (maker.pick(2) ? "http://" : "https://") + a.text + maker.tail();
    Net::_reset();
    EXPECT_EQ(Net::get(s(url)), nullptr) << url;
    EXPECT_EQ(str(Net::lastError()), a.fault) << url;
    Net::_reset();
    EXPECT_EQ(Net::post(s(url), s("{}")), nullptr) << url;
    ASSERT_EQ(str(Net::lastError()), a.fault) << url;
    refused++;
  }
  EXPECT_EQ(asked.hosts, std::vector<std::string>{});
  EXPECT_EQ(Http::secureLayer(), nullptr);
  EXPECT_EQ(Net::post(s("http://127.0.0.1:1/"), s("{}")), nullptr);
  EXPECT_EQ(asked.hosts, std::vector<std::string>{"127.0.0.1"});
}

TEST_F(NetTest, PostAMegabyteOverHttps) {
  QUORL_REQUIRE_SERVER(server());
  if (!haveHttps()) GTEST_SKIP() << "no HTTPS";
  trustTestCa();
  // Far more than one TLS record: every byte must arrive.
  std::string pad = pattern(1 << 20);
  for (char& c : pad)
    if (c == '"' || c == '\\') c = 'x';
  // The server refuses a contribution it was just sent: each run's differs.
  static int runs = 0;
  const std::string padded = "{\"schema\":\"quorl-bench/1\",\"run\":\"" + std::to_string(++runs) + "-" +
                             std::to_string(std::chrono::system_clock::now().time_since_epoch().count()) +
                             "\",\"pad\":\"" + pad + "\"}";
  Ref<HttpResponse> echo = Net::post(s(server().https + "/echo"), s(padded));
  ASSERT_NE(echo, nullptr) << str(Net::lastError());
  const std::string wire = bytes(echo->body);
  ASSERT_GT(wire.size(), padded.size());
  EXPECT_EQ(wire.substr(wire.size() - padded.size()), padded);
  const std::string host = server().https.substr(8);
  EXPECT_EQ(wire.substr(0, wire.find("\r\n", 20) + 2), "POST /echo HTTP/1.1\r\nHost: " + host + "\r\n");

  Ref<HttpResponse> r = Net::post(s(server().https + "/benchmarks/submit.php"), s(padded));
  ASSERT_NE(r, nullptr) << str(Net::lastError());
  EXPECT_EQ(r->status, 200u) << bytes(r->body);
}

}  // namespace
