#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <thread>
#include <vector>

#include "foundation/Object.h"
#include "foundation/Pool.h"

using namespace quorl;

TEST(Pool, BlocksAreAlignedDistinctAndReused) {
  std::set<void*> seen;
  std::vector<void*> blocks;
  for (int i = 0; i < 5000; i++) {
    void* b = pool::allocate(48);
    ASSERT_EQ(reinterpret_cast<uintptr_t>(b) % pool::kPoolAlign, 0u);
    ASSERT_TRUE(seen.insert(b).second);
    std::memset(b, 0xAB, 48);  // the whole block is usable
    blocks.push_back(b);
  }
  for (void* b : blocks) pool::release(b, 48);
  void* again = pool::allocate(48);
#ifndef QUORL_SANITIZE  // the sanitizers hold freed memory back
  EXPECT_TRUE(seen.count(again));  // released blocks are handed out again
#endif
  pool::release(again, 48);
}

TEST(Pool, BuffersOfEverySizeKeepTheirBytesWhenResized) {
  std::vector<unsigned char> want;
  void* buffer = nullptr;
  size_t size = 0;
  for (size_t next : {1u, 15u, 17u, 256u, 257u, 700u, 4096u, 4097u, 100000u, 300u, 3u}) {
    buffer = pool::resizeBuffer(buffer, size, next);
    ASSERT_NE(buffer, nullptr);
    want.resize(next, 0);
    ASSERT_EQ(std::memcmp(buffer, want.data(), std::min(size, next)), 0) << next;
    for (size_t i = 0; i < next; i++) want[i] = static_cast<unsigned char>(i * 7 + next);
    std::memcpy(buffer, want.data(), next);
    size = next;
  }
  pool::releaseBuffer(buffer, size);
  EXPECT_EQ(pool::allocateBuffer(0), nullptr);
}

TEST(Pool, BlocksMayBeReleasedOnAnotherThread) {
  std::vector<Ref<Object>> made;
  for (int i = 0; i < 1000; i++) made.push_back(make<Object>());
  std::thread t([&] { made.clear(); });
  t.join();
  EXPECT_TRUE(made.empty());
  auto fresh = make<Object>();  // this thread's lists still work
  EXPECT_TRUE(fresh->equals(fresh));
}

TEST(Pool, WeakReferencesOutliveTheObject) {
  Weak<Object> weak;
  {
    auto o = make<Object>();
    weak = o;
    EXPECT_FALSE(weak.expired());
  }
  EXPECT_TRUE(weak.expired());
  EXPECT_EQ(weak.lock(), nullptr);
}
