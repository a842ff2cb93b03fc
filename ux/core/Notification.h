// Named notifications posted through one shared centre.
//
// The centre has no registration call of its own: whoever wants notifications
// appends a NotificationObserver record to `observers`.
#pragma once

#include <cstdint>

#include "foundation/Map.h"
#include "foundation/Object.h"

namespace quorl {

class Array;
class Map;

class Notification : public Object {
 public:
  Ref<String> name;
  Ref<Object> object;
  Ref<Map> userInfo;

  Notification() = default;
  Notification(Ref<String> name, Ref<Object> object, Ref<Map> userInfo)
      : name(std::move(name)), object(std::move(object)), userInfo(std::move(userInfo)) {}

  const char* classNameC() const override { return "Notification"; }
};

using NotificationBlock = Block<const Ref<Notification>&>;

// One registration. Dormant once its owner or its block's target is gone.
class NotificationObserver : public Object {
 public:
  Weak<Object> owner;
  NotificationBlock block;
  Ref<String> name;     // null: every name
  Weak<Object> object;  // matched by identity unless anyObject is set
  uint8_t anyObject = 0;

  Ref<String> description() const override;
  const char* classNameC() const override { return "_NotificationObserver"; }
};

class NotificationCenter : public Object {
 public:
  Ref<Array> observers;

  NotificationCenter();

  static Ref<NotificationCenter> shared();

  // Synchronous delivery in registration order; a null notification is ignored.
  void postNotification(const Ref<Notification>& note);

  const char* classNameC() const override { return "NotificationCenter"; }
};

}  // namespace quorl
