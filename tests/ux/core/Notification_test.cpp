// The notification centre's matching and delivery rules.
#include <gtest/gtest.h>

#include "foundation/Array.h"
#include "foundation/String.h"
#include "ux/core/Notification.h"

namespace quorl {
namespace {

class NotificationTest : public ::testing::Test {
 protected:
  void SetUp() override { center()->observers->removeAll(); }
  void TearDown() override { center()->observers->removeAll(); }
  static Ref<NotificationCenter> center() { return NotificationCenter::shared(); }

  // Registers an observer that logs "tag" on delivery.
  Ref<NotificationObserver> observe(const std::string& tag, const char* name, const Ref<Object>& object,
                                    uint8_t anyObject, const Ref<Object>& owner) {
    auto obs = make<NotificationObserver>();
    obs->owner = owner;
    obs->block.target = owner;
    obs->block.function = [this, tag](const Ref<Object>&, const Ref<Notification>&) { log.push_back(tag); };
    if (name) obs->name = String::withCString(name);
    obs->object = object;
    obs->anyObject = anyObject;
    center()->observers->add(obs);
    return obs;
  }

  static Ref<Notification> note(const char* name, Ref<Object> object) {
    return make<Notification>(name ? String::withCString(name) : nullptr, std::move(object), nullptr);
  }

  std::vector<std::string> log;
};

TEST_F(NotificationTest, SharedCentreIsOneInstance) {
  EXPECT_EQ(NotificationCenter::shared(), NotificationCenter::shared());
  center()->postNotification(note("Nobody", nullptr));  // no observers: nothing
  center()->postNotification(nullptr);
  EXPECT_TRUE(log.empty());
}

TEST_F(NotificationTest, NameAndObjectFilters) {
  auto owner = make<Object>();
  auto window = make<Object>();
  auto other = make<Object>();
  observe("named", "Resize", nullptr, 1, owner);
  observe("any", nullptr, nullptr, 1, owner);
  observe("window", nullptr, window, 0, owner);
  observe("nothing", nullptr, nullptr, 0, owner);  // no object, not any: never

  center()->postNotification(note("Resize", window));
  EXPECT_EQ(log, (std::vector<std::string>{"named", "any", "window"}));
  log.clear();
  center()->postNotification(note(nullptr, other));  // no name
  EXPECT_EQ(log, std::vector<std::string>{"any"});
  log.clear();
  center()->postNotification(note("Resized", nullptr));  // different name, no object
  EXPECT_EQ(log, std::vector<std::string>{"any"});
}

TEST_F(NotificationTest, GoneOwnerOrTargetIsSkipped) {
  auto keeper = make<Object>();
  {
    auto owner = make<Object>();
    observe("dead-owner", nullptr, nullptr, 1, owner);
  }
  auto obs = observe("dead-target", nullptr, nullptr, 1, keeper);
  {
    auto target = make<Object>();
    obs->block.target = target;
  }
  auto noFunction = observe("no-function", nullptr, nullptr, 1, keeper);
  noFunction->block.function = nullptr;
  observe("alive", nullptr, nullptr, 1, keeper);
  center()->postNotification(note("X", nullptr));
  EXPECT_EQ(log, std::vector<std::string>{"alive"});
}

TEST_F(NotificationTest, ChangesDuringDeliveryFollowTheWalk) {
  auto owner = make<Object>();
  auto first = observe("first", nullptr, nullptr, 1, owner);
  observe("second", nullptr, nullptr, 1, owner);
  observe("third", nullptr, nullptr, 1, owner);
  // Added during delivery: waits for the next post.
  bool added = false;
  first->block.function = [&](const Ref<Object>&, const Ref<Notification>&) {
    log.push_back("first");
    if (!added) observe("late", nullptr, nullptr, 1, owner);
    added = true;
  };
  center()->postNotification(note("X", nullptr));
  EXPECT_EQ(log, (std::vector<std::string>{"first", "second", "third"}));
  log.clear();
  center()->postNotification(note("X", nullptr));
  EXPECT_EQ(log, (std::vector<std::string>{"first", "second", "third", "late"}));

  // Removed during delivery: the walk ends early.
  log.clear();
  first->block.function = [&](const Ref<Object>&, const Ref<Notification>&) {
    log.push_back("first");
    center()->observers->removeRange(2, 2);
  };
  center()->postNotification(note("X", nullptr));
  EXPECT_EQ(log, (std::vector<std::string>{"first", "second"}));
}

TEST_F(NotificationTest, NotificationCarriesItsParts) {
  auto owner = make<Object>();
  auto obs = observe("x", nullptr, nullptr, 1, owner);
  Ref<Notification> seen;
  obs->block.function = [&seen](const Ref<Object>&, const Ref<Notification>& n) { seen = n; };
  auto posted = note("Named", owner);
  center()->postNotification(posted);
  EXPECT_EQ(seen, posted);
  EXPECT_STREQ(seen->name->cString(), "Named");
  EXPECT_STREQ(obs->description()->cString(), "<_NotificationObserver>(1)");
}

}  // namespace
}  // namespace quorl
