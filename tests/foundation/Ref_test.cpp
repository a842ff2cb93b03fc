#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "foundation/Array.h"
#include "foundation/Object.h"

using namespace quorl;

namespace {

struct Tracked : Object {
  static inline int alive = 0;
  Tracked() { ++alive; }
  ~Tracked() override { --alive; }
};

struct Protocol {
  virtual ~Protocol() = default;
  virtual int answer() const = 0;
};

struct Implementer : Tracked, Protocol {
  int answer() const override { return 42; }
};

TEST(Ref, CountsCopiesMovesAndDestroysWithTheLast) {
  {
    Ref<Tracked> a = make<Tracked>();
    EXPECT_EQ(a.use_count(), 1);
    Ref<Object> b = a;
    EXPECT_EQ(a.use_count(), 2);
    Ref<Object> c = std::move(b);
    EXPECT_FALSE(b);
    EXPECT_EQ(a.use_count(), 2);
    c = c;  // self-assignment keeps the object
    EXPECT_EQ(a.use_count(), 2);
    c.reset();
    EXPECT_EQ(Tracked::alive, 1);
  }
  EXPECT_EQ(Tracked::alive, 0);
  EXPECT_EQ(sizeof(Ref<Object>), sizeof(void*));
}

TEST(Ref, CastsAndProtocolsShareOneCount) {
  Ref<Implementer> made = make<Implementer>();
  Ref<Object> object = made;
  EXPECT_EQ(cast<Tracked>(object).get(), made.get());
  EXPECT_EQ(cast<Array>(object), nullptr);
  Ref<Protocol> protocol = made;  // reaches the count through the dynamic type
  EXPECT_EQ(made.use_count(), 3);
  EXPECT_EQ(protocol->answer(), 42);
  made.reset();
  object.reset();
  EXPECT_EQ(Tracked::alive, 1);
  protocol.reset();
  EXPECT_EQ(Tracked::alive, 0);
}

TEST(Ref, SelfIsNullForObjectsNotMadeByMake) {
  Tracked onStack;
  EXPECT_EQ(onStack.self(), nullptr);
  EXPECT_EQ(Weak<Object>(onStack.self()).lock(), nullptr);
  auto made = make<Tracked>();
  EXPECT_EQ(made->self<Tracked>().get(), made.get());
}

TEST(Weak, ReadsNullOnceTheObjectIsGoneAndOutlivesIt) {
  Weak<Tracked> weak;
  EXPECT_TRUE(weak.expired());
  {
    auto strong = make<Tracked>();
    weak = strong;
    Weak<Object> second = strong;  // the second Weak shares the link
    EXPECT_EQ(weak.lock().get(), strong.get());
    EXPECT_FALSE(second.expired());
  }
  EXPECT_TRUE(weak.expired());
  EXPECT_EQ(weak.lock(), nullptr);
  Weak<Tracked> copy = weak;
  EXPECT_EQ(copy.lock(), nullptr);
}

TEST(Weak, LockRacingTheLastReleaseNeverRevives) {
  // One thread drops the last reference while others lock: either they get
  // the object whole or null, and it is destroyed exactly once.
  for (int round = 0; round < 50; ++round) {
    auto strong = make<Tracked>();
    Weak<Tracked> weak = strong;
    std::atomic<bool> go{false};
    std::vector<std::thread> lockers;
    for (int t = 0; t < 3; ++t)
      lockers.emplace_back([&] {
        while (!go) {
        }
        for (int i = 0; i < 50; ++i)
          if (auto got = weak.lock()) EXPECT_GE(got.use_count(), 1);
      });
    go = true;
    strong.reset();
    for (auto& t : lockers) t.join();
    EXPECT_TRUE(weak.expired());
  }
  EXPECT_EQ(Tracked::alive, 0);
}

}  // namespace
