// A bundle named cacert.pem that is a pipe: refused at once, never waited on.
#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <future>
#include <sys/stat.h>
#include <unistd.h>

#include "Support.h"
#include "TempDir.h"
#include "net/HttpTls.h"
#include "net/Net.h"

using namespace quorl;
using namespace quorl::test;

namespace {

TEST(NetBundle, APipeIsRefusedAtOnce) {
  TempDir dir;
  const std::vector<std::string> savedBundles = HttpTls::_systemBundles();
  const std::function<int32_t()> savedAbi = Net::_abiLevel();
  HttpTls::_systemBundles() = {};
  Net::_abiLevel() = [] { return 0; };
  Net::_reset();
  Http::setSecureLayer(nullptr);
  Net::setProgramPath(String::withCString(dir.at("quorl").c_str()));
  const std::string bundle = dir.at("cacert.pem");
  auto install = [] {
    const auto start = std::chrono::steady_clock::now();
    const bool ok = Net::installTls();
    EXPECT_FALSE(ok);
    return std::chrono::steady_clock::now() - start;
  };

  // The baseline: the same search refusing a regular file of garbage.
  dir.write("cacert.pem", "garbage");
  const auto baseline = std::async(std::launch::async, install).get();
  EXPECT_EQ(str(Net::lastError()), "no CA bundle for https (put cacert.pem beside the program): " + bundle +
                                       " holds no certificate");

  ASSERT_EQ(::unlink(bundle.c_str()), 0);
  ASSERT_EQ(::mkfifo(bundle.c_str(), 0600), 0);
  auto refusal = std::async(std::launch::async, install);
  // A read that waits for a writer never ends by itself: any bound tells
  // it from a refusal. This one is far above the baseline.
  const auto bound = std::max<std::chrono::steady_clock::duration>(std::chrono::seconds(1), baseline * 20);
  if (refusal.wait_for(bound) != std::future_status::ready) {
    ADD_FAILURE() << "the search waits on the pipe";
    // A writer that comes and goes lets the waiting read end.
    const int writer = ::open(bundle.c_str(), O_WRONLY | O_NONBLOCK);
    if (writer >= 0) ::close(writer);
  }
  refusal.get();
  EXPECT_EQ(str(Net::lastError()), "no CA bundle for https (put cacert.pem beside the program): " + bundle +
                                       " is not a regular file");

  HttpTls::_systemBundles() = savedBundles;
  Net::_abiLevel() = savedAbi;
  Net::_reset();
}

}  // namespace
