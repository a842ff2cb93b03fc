// Threads, locks and the run loop.
#include <gtest/gtest.h>

#include <atomic>
#include <vector>

#include "Support.h"
#include "net/Thread.h"

using namespace quorl;
using namespace quorl::test;

namespace {

// A target that a thread reports to, waited for with a Cond.
struct Mailbox : Object {
  Ref<Mutex> mutex = make<Mutex>();
  Ref<Cond> cond = make<Cond>();
  int delivered = 0;
  std::thread::id runner;

  void deliver() {
    Guard guard(mutex);
    delivered++;
    runner = std::this_thread::get_id();
    cond->signal();
  }
  bool waitFor(int count) {
    Guard guard(mutex);
    for (int i = 0; i < 2500 && delivered < count; i++) cond->waitFor(*mutex, 20);  // up to 50 s, for the event
    return delivered >= count;
  }
};

TEST(Thread, RunsItsBlockOnANewThreadWithTheTarget) {
  auto box = make<Mailbox>();
  Block<> block;
  block.target = box;
  block.function = [](const Ref<Object>& target) { staticCast<Mailbox>(target)->deliver(); };
  auto thread = make<Thread>(block);
  ASSERT_TRUE(thread->start());
  EXPECT_TRUE(thread->hasHandle());
  thread->detach();
  EXPECT_FALSE(thread->hasHandle());
  thread->detach();  // a second call does nothing
  ASSERT_TRUE(box->waitFor(1));
  EXPECT_NE(box->runner, std::this_thread::get_id());
}

TEST(Thread, AFailedStartLeavesNoHandle) {
  Thread::_failStartsForTesting(1);
  auto box = make<Mailbox>();
  Block<> block;
  block.target = box;
  block.function = [](const Ref<Object>& target) { staticCast<Mailbox>(target)->deliver(); };
  auto thread = make<Thread>(block);
  EXPECT_FALSE(thread->start());
  EXPECT_FALSE(thread->hasHandle());
  thread->detach();
  // The next start works again.
  auto again = make<Thread>(block);
  EXPECT_TRUE(again->start());
  again->detach();
  EXPECT_TRUE(box->waitFor(1));
  EXPECT_EQ(box->delivered, 1);
}

TEST(Thread, ReleasedWithoutDetachLetsTheThreadRunOn) {
  auto box = make<Mailbox>();
  {
    Block<> block;
    block.target = box;
    block.function = [](const Ref<Object>& target) { staticCast<Mailbox>(target)->deliver(); };
    auto thread = make<Thread>(block);
    ASSERT_TRUE(thread->start());
  }
  EXPECT_TRUE(box->waitFor(1));
}

TEST(Guard, UnlocksOnceAtTheLatestWhenReleased) {
  auto mutex = make<Mutex>();
  {
    auto guard = make<Guard>(mutex);
    EXPECT_TRUE(guard->holds());
    guard->unlock();
    guard->unlock();
    EXPECT_FALSE(guard->holds());
    Guard other(mutex);  // would wait for ever if the first still held it
  }
  {
    Guard scoped(mutex);
  }
  mutex->lock();  // released by the scope
  mutex->unlock();
}

TEST(Cond, WaitForTimesOutWithoutASignal) {
  Mutex mutex;
  Cond cond;
  mutex.lock();
  EXPECT_FALSE(cond.waitFor(mutex, 10));
  mutex.unlock();
}

TEST(RunLoop, ItemsFromManyThreadsRunInTheirOrder) {
  auto loop = make<RunLoop>();
  std::vector<std::vector<int>> seen(4);
  std::vector<std::thread> senders;
  for (int t = 0; t < 4; t++) {
    senders.emplace_back([&, t] {
      for (int i = 0; i < 100; i++) loop->post(make<_RunLoopItem>([&seen, t, i] { seen[t].push_back(i); }));
    });
  }
  uint32_t ran = 0;
  for (int spins = 0; ran < 400 && spins < 1000; spins++) ran += loop->runUntilItem(50);
  for (auto& s : senders) s.join();
  ran += loop->runPending();
  EXPECT_EQ(ran, 400u);
  EXPECT_EQ(loop->pendingCount(), 0u);
  for (int t = 0; t < 4; t++) {
    ASSERT_EQ(seen[t].size(), 100u);
    for (int i = 0; i < 100; i++) EXPECT_EQ(seen[t][i], i);
  }
  EXPECT_EQ(loop->runUntilItem(1), 0u);
}

TEST(RunLoop, Descriptions) {
  auto loop = make<RunLoop>();
  EXPECT_EQ(str(loop->description()), "<RunLoop>(0)");
  auto timer = make<Timer>();
  timer->intervalMs = -5;
  timer->nextFireMs = 3;
  timer->repeats = 65535;
  EXPECT_EQ(str(timer->description()), "<Timer>(-5, 3, 65535)");
  auto item = make<_RunLoopItem>(nullptr);
  EXPECT_EQ(item->other, nullptr);
  EXPECT_EQ(str(Object::className(item)), "_RunLoopItem");
}

}  // namespace
