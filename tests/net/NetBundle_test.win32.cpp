// The Windows program's choice of bundle: never a rooted path without a
// drive, which names a folder on the current drive that any local user may
// create; the system's store, else the bundle beside the program.
#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <functional>

#include "Support.h"
#include "TestServer.h"
#include "foundation/WideText.h"
#include "net/HttpTls.h"
#include "net/Net.h"

using namespace quorl;
using namespace quorl::test;

namespace {

TEST(NetBundle, NoBundleIsReadFromTheCurrentDrive) {
  TestServer& server = TestServer::shared();
  QUORL_REQUIRE_SERVER(server);
  if (server.https.empty() || server.ca.empty()) GTEST_SKIP() << "the test server offers no HTTPS";
  // The temporary folder lies on the prefix's own drive C:, which belongs to
  // the tests; the build folder lies on another.
  wchar_t temp[MAX_PATH + 1];
  const DWORD n = GetTempPathW(MAX_PATH + 1, temp);
  ASSERT_GT(n, 3u);
  const std::filesystem::path work = std::filesystem::path(temp) / L"quorl-net-bundle";
  const std::filesystem::path planted = work.root_path() / L"etc" / L"ssl" / L"cert.pem";
  std::filesystem::create_directories(work);
  std::filesystem::create_directories(planted.parent_path());
  // A bundle trusting the test server's authority, where "/etc/ssl/cert.pem"
  // leads from a working folder on that drive.
  std::filesystem::copy_file(std::filesystem::path(WideText::wide(server.ca.c_str())), planted,
                             std::filesystem::copy_options::overwrite_existing);
  wchar_t saved[MAX_PATH + 1];
  GetCurrentDirectoryW(MAX_PATH + 1, saved);
  ASSERT_TRUE(SetCurrentDirectoryW(work.c_str()));
  const std::function<int32_t()> savedAbi = Net::_abiLevel();
  auto fresh = [] {
    Net::_reset();
    Http::setSecureLayer(nullptr);
  };
  const std::string url = server.https + "/status/200";

  // The system's store is taken, and does not know the test authority.
  fresh();
  ASSERT_TRUE(Net::installTls()) << str(Net::lastError());
  EXPECT_EQ(Net::get(String::withCString(url.c_str())), nullptr);
  EXPECT_EQ(str(Net::lastError()), "TLS handshake with localhost failed: unable to get local issuer certificate");

  // Where the store cannot be set up, the bundle beside the program.
  fresh();
  Net::_abiLevel() = [] { return 0; };
  EXPECT_FALSE(Net::installTls());
  EXPECT_EQ(str(Net::lastError()), "no CA bundle for https (put cacert.pem beside the program)");
  fresh();
  std::filesystem::copy_file(std::filesystem::path(WideText::wide(server.ca.c_str())), work / L"cacert.pem",
                             std::filesystem::copy_options::overwrite_existing);
  Net::setProgramPath(String::withCString(WideText::utf8((work / L"quorl.exe").c_str()).c_str()));
  ASSERT_TRUE(Net::installTls()) << str(Net::lastError());
  EXPECT_NE(Net::get(String::withCString(url.c_str())), nullptr) << str(Net::lastError());

  Net::_abiLevel() = savedAbi;
  fresh();
  SetCurrentDirectoryW(saved);
  std::error_code ignored;
  std::filesystem::remove_all(work.root_path() / L"etc", ignored);
  std::filesystem::remove_all(work, ignored);
}

}  // namespace
