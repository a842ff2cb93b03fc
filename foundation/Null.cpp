#include "Null.h"

#include "String.h"

namespace quorl {

const Ref<Null>& Null::null() {
  // A holder whose destructor leaves the reference alone: the shared null
  // outlives every static that may still point at it.
  union Forever {
    Forever() : ref(make<Null>(Key())) {}
    ~Forever() {}
    Ref<Null> ref;
  };
  static Forever shared;
  return shared.ref;
}

bool Null::isNull(Ptr<const Object> object) { return object && object.get() == null().get(); }

Ref<String> Null::description() const { return String::withCString("null"); }

}  // namespace quorl
