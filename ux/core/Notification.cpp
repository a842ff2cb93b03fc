#include "ux/core/Notification.h"

#include "foundation/Array.h"
#include "foundation/Map.h"
#include "foundation/String.h"

namespace quorl {

Ref<String> NotificationObserver::description() const {
  const uint16_t values[] = {anyObject};
  return String::_classDescribe(classNameC(), values, 1, 0);
}

NotificationCenter::NotificationCenter() : observers(make<Array>()) {}

Ref<NotificationCenter> NotificationCenter::shared() {
  static Ref<NotificationCenter> centre = make<NotificationCenter>();
  return centre;
}

void NotificationCenter::postNotification(const Ref<Notification>& note) {
  if (!note) return;
  // Registrations added during delivery wait for the next post; the live count
  // is re-read every step because removals during delivery shorten the walk.
  const uint32_t n = observers->count();
  for (uint32_t i = 0; i < n && i < observers->count(); i++) {
    Ref<NotificationObserver> obs = cast<NotificationObserver>(observers->get(i));
    if (!obs) continue;
    Ref<Object> target = obs->block.target.lock();
    if (!target || !obs->block.function) continue;
    if (obs->owner.expired()) continue;
    if (obs->name && (!note->name || !obs->name->equals(note->name))) continue;
    if (!obs->anyObject) {
      Ref<Object> wanted = obs->object.lock();
      if (!wanted || wanted != note->object) continue;
    }
    obs->block.function(target, note);
  }
}

}  // namespace quorl
