#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <thread>
#include <vector>

#include "foundation/Object.h"
#include "foundation/Pool.h"
#include "foundation/PoolPages.h"

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

// Every size maps to the smallest class that holds it, and every block of a
// class is aligned as the class promises and usable to its last byte.
TEST(Pool, EverySizeGetsTheSmallestClassAlignedAsPromised) {
  for (size_t bytes = 1; bytes <= pool::kBufferMax; bytes++) {
    size_t cls = pool::classOf(bytes);
    ASSERT_LT(cls, pool::kClasses);
    ASSERT_GE(pool::classSize(cls), bytes);
    if (cls > 0) {
      ASSERT_LT(pool::classSize(cls - 1), bytes);
    }
  }
  EXPECT_EQ(pool::classSize(pool::classOf(20)), 24u);
  EXPECT_EQ(pool::classAlign(pool::classOf(24)), 8u);
  EXPECT_EQ(pool::classAlign(pool::classOf(40)), 8u);
  EXPECT_EQ(pool::classAlign(pool::classOf(48)), 16u);
  struct alignas(16) Wide {
    char bytes[40];
  };  // 48 bytes, 16-aligned: pooled
  struct alignas(32) Wider {
    char bytes[32];
  };
  static_assert(PoolAllocator<Wide>::pooled(1) && !PoolAllocator<Wider>::pooled(1));
  static_assert(pool::holds(24, 8) && !pool::holds(24, 16) && pool::holds(4096, 16) && !pool::holds(4097, 8));

  for (size_t cls = 0; cls < pool::kClasses; cls++) {
    size_t size = pool::classSize(cls);
    size_t smallest = cls ? pool::classSize(cls - 1) + 1 : 1;
    std::vector<unsigned char*> blocks;
    for (int i = 0; i < 40; i++) {
      size_t asked = i % 2 ? size : smallest;
      auto* b = static_cast<unsigned char*>(pool::allocateBuffer(asked));
      ASSERT_EQ(reinterpret_cast<uintptr_t>(b) % pool::classAlign(cls), 0u) << size;
      std::memset(b, i, asked);
      blocks.push_back(b);
    }
    for (int i = 0; i < 40; i++) {  // no block overlaps another
      size_t asked = i % 2 ? size : smallest;
      ASSERT_EQ(blocks[i][0], i) << size;
      ASSERT_EQ(blocks[i][asked - 1], i) << size;
      pool::releaseBuffer(blocks[i], asked);
    }
  }
}

// Spans from the system are aligned and zeroed whatever lies around them:
// keeping every other span leaves holes that the next ones may fall into.
TEST(Pool, SystemSpansAreAlignedAndZeroed) {
  std::vector<std::pair<void*, size_t>> kept;
  for (size_t i = 0; i < 48; i++) {
    size_t bytes = (1 + i % 3) * pool::kMapAlign;
    auto* span = static_cast<unsigned char*>(pool::mapPages(bytes));
    ASSERT_NE(span, nullptr);
    ASSERT_EQ(reinterpret_cast<uintptr_t>(span) % pool::kMapAlign, 0u) << i;
    ASSERT_EQ(span[0] | span[bytes / 2] | span[bytes - 1], 0) << i;
    std::memset(span, 0xFF, bytes);
    if (i % 2)
      pool::unmapPages(span, bytes);
    else
      kept.emplace_back(span, bytes);
  }
  for (auto& [span, bytes] : kept) pool::unmapPages(span, bytes);
}

#ifndef QUORL_SANITIZE  // the sanitized build takes everything from the general heap

namespace {
uintptr_t pageOf(void* block) { return reinterpret_cast<uintptr_t>(block) & ~(pool::kPageBytes - 1); }

// Blocks of one size until they have filled `full` pages and begun the next.
std::vector<void*> fillPages(size_t size, size_t full) {
  std::vector<void*> blocks;
  std::set<uintptr_t> pages;
  while (pages.size() <= full) {
    blocks.push_back(pool::allocate(size));
    pages.insert(pageOf(blocks.back()));
  }
  return blocks;
}
}  // namespace

TEST(Pool, ReleasedPagesAreReusedThenGivenBack) {
  const size_t sizes[] = {16, 24, 48, 136, 640};
  pool::trim();  // what earlier work left cached would be reused
  const pool::Stats before = pool::stats();
  std::vector<std::pair<void*, size_t>> blocks;
  size_t bytes = 0;
  for (int i = 0; i < 200000; i++) {
    size_t size = sizes[i % 5];
    blocks.emplace_back(pool::allocate(size), size);
    bytes += size;
  }
  const pool::Stats peak = pool::stats();
  EXPECT_GE(peak.mappedBytes, before.mappedBytes + bytes);
  EXPECT_EQ(peak.threadLiveBlocks, before.threadLiveBlocks + 200000);

  // Odd blocks first, so that every page is partly free for a while before
  // it empties, then the rest from the newest.
  for (size_t i = 1; i < blocks.size(); i += 2) pool::release(blocks[i].first, blocks[i].second);
  const pool::Stats half = pool::stats();
  EXPECT_EQ(half.mappedBytes, peak.mappedBytes);  // no page is empty yet
  // The holes are filled before any new page is taken.
  for (size_t i = 1; i < blocks.size(); i += 2) blocks[i].first = pool::allocate(blocks[i].second);
  EXPECT_EQ(pool::stats().mappedBytes, peak.mappedBytes);
  for (size_t round = 0; round < 2; round++) {
    for (size_t i = 1; i < blocks.size(); i += 2) pool::release(blocks[i].first, blocks[i].second);
    for (size_t i = blocks.size(); i-- > 0;)
      if (i % 2 == 0) pool::release(blocks[i].first, blocks[i].second);
    const pool::Stats empty = pool::stats();
    EXPECT_EQ(empty.threadLiveBlocks, before.threadLiveBlocks);
    EXPECT_LE(empty.threadPages, before.threadPages + std::size(sizes));  // each class carves one
    if (round == 1) break;
    // The same work again takes the emptied pages back instead of new ones.
    for (auto& [block, size] : blocks) block = pool::allocate(size);
    EXPECT_LE(pool::stats().mappedBytes, peak.mappedBytes);
  }

  pool::trim();
  const pool::Stats after = pool::stats();
  EXPECT_EQ(after.threadCachedPages, 0u);
  EXPECT_LE(after.mappedBytes, before.mappedBytes + std::size(sizes) * pool::kPageBytes);
}

// Cached pages that the thread has not needed for a whole second go back
// the next time it takes or drops a page; those it did need stay.
TEST(Pool, IdleCachedPagesGoBackAfterASecond) {
  // The pool's clock moves only when the test moves it: no real time reaches the checks below.
  struct Held { Held() { pool::_holdClockForTesting(true); } ~Held() { pool::_holdClockForTesting(false); } } held;
  // On a new thread, whose heap is made by this test alone, as after the
  // program starts: the first trim starts the interval with no heap yet.
  std::thread([] {
    pool::trim();
    pool::_advanceClockForTesting(999);  // a second since the trim all but runs out
    std::vector<void*> blocks = fillPages(640, 40);
    for (void* b : blocks) pool::release(b, 640);
    const size_t cached = pool::stats().threadCachedPages;
    ASSERT_GE(cached, 39u);
    auto takeAndDropAPage = [] {
      std::vector<void*> other = fillPages(4096, 1);
      for (void* b : other) pool::release(b, 4096);
    };

    pool::_advanceClockForTesting(2);
    takeAndDropAPage();  // the cache filled during this second: it stays
    const pool::Stats kept = pool::stats();
    EXPECT_GE(kept.threadCachedPages, cached - 2);

    pool::_advanceClockForTesting(1001);
    takeAndDropAPage();
    const pool::Stats trimmed = pool::stats();
    EXPECT_LE(trimmed.threadCachedPages, pool::kPageCache + 2);
    EXPECT_LE(trimmed.mappedBytes + (cached - pool::kPageCache - 2) * pool::kPageBytes, kept.mappedBytes);
    pool::trim();  // a thread's cache is not handed over when it ends
  }).join();
}

TEST(Pool, BlocksReleasedOnAnotherThreadAreReusedByTheirOwner) {
  const size_t size = 3072;
  // The page being carved takes its remote frees back once it runs out,
  // before it looks anywhere else.
  {
    std::vector<void*> carved{pool::allocate(size)};
    while (carved.size() < 8) {
      carved.push_back(pool::allocate(size));
      if (pageOf(carved.back()) != pageOf(carved[0])) carved.erase(carved.begin(), carved.end() - 1);
    }
    std::thread([&] {
      for (void* b : carved) pool::release(b, size);
    }).join();
    std::set<void*> back;
    std::vector<void*> taken;
    for (size_t i = 0; i <= pool::kPageBytes / size; i++) {
      taken.push_back(pool::allocate(size));
      if (pageOf(taken.back()) != pageOf(carved[0])) break;
      back.insert(taken.back());
    }
    for (void* b : carved) EXPECT_TRUE(back.count(b));
    for (void* b : taken) pool::release(b, size);
  }

  const pool::Stats before = pool::stats();
  std::vector<void*> blocks = fillPages(size, 4);
  std::set<uintptr_t> pages;
  for (void* b : blocks) pages.insert(pageOf(b));

  // Another thread releases all but the first block of each page, so no
  // page empties and each stays the owner's to reuse.
  std::vector<void*> kept, remote;
  std::set<uintptr_t> seen;
  for (void* b : blocks) (seen.insert(pageOf(b)).second ? kept : remote).push_back(b);
  std::thread([&] {
    for (void* b : remote) pool::release(b, size);
  }).join();
  EXPECT_EQ(pool::stats().threadLiveBlocks, before.threadLiveBlocks + blocks.size());  // not taken back yet

  std::vector<void*> again;
  for (size_t i = 0; i < remote.size(); i++) {
    again.push_back(pool::allocate(size));
    ASSERT_TRUE(pages.count(pageOf(again.back()))) << i << " of " << remote.size();
  }
  const pool::Stats reused = pool::stats();
  EXPECT_EQ(reused.threadLiveBlocks, before.threadLiveBlocks + blocks.size());
  EXPECT_LE(reused.threadPages, before.threadPages + pages.size());

  // Pages emptied partly by the other thread and partly here go back once
  // this thread next needs a page; only the page it carves 3072-byte blocks
  // from keeps the remote frees until it looks for room in that class.
  std::thread([&] {
    for (void* b : again) pool::release(b, size);
  }).join();
  for (void* b : kept) pool::release(b, size);
  std::vector<void*> other = fillPages(4096, 1);  // runs out of a page, so looks at its mail
  const pool::Stats settled = pool::stats();
  EXPECT_LE(settled.threadLiveBlocks, before.threadLiveBlocks + other.size() + pool::kPageBytes / size);
  EXPECT_LE(settled.threadPages, before.threadPages + 3);  // the current 3072 page, two of 4096
  for (void* b : other) pool::release(b, 4096);
}

TEST(Pool, BlocksOfAnEndedThreadMayBeReleasedLater) {
  std::vector<Ref<Object>> objects;
  std::vector<std::pair<void*, size_t>> buffers;
  std::thread([&] {
    for (int i = 0; i < 20000; i++) {
      objects.push_back(make<Object>());
      size_t size = 24 + static_cast<size_t>(i % 7) * 100;
      buffers.emplace_back(pool::allocateBuffer(size), size);
    }
  }).join();
  std::set<uintptr_t> endedPages;
  for (auto& [b, size] : buffers) endedPages.insert(pageOf(b));
  objects.clear();
  for (auto& [b, size] : buffers) pool::releaseBuffer(b, size);

  // A new thread may get the ended thread's storage; it is still another
  // heap, and the ended thread's pages are not handed out again.
  std::thread([&] {
    std::vector<std::pair<void*, size_t>> mine;
    for (int i = 0; i < 20000; i++) {
      size_t size = 24 + static_cast<size_t>(i % 7) * 100;
      mine.emplace_back(pool::allocateBuffer(size), size);
      ASSERT_FALSE(endedPages.count(pageOf(mine.back().first)));
    }
    for (auto& [b, size] : mine) pool::releaseBuffer(b, size);
    EXPECT_EQ(pool::stats().threadLiveBlocks, 0u);
  }).join();
  auto fresh = make<Object>();
  EXPECT_TRUE(fresh->equals(fresh));
}

#endif
