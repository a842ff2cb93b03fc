// Null: the one shared null object, which also stands for JSON null.
#pragma once

#include "Object.h"

namespace quorl {

class Null : public Object {
  struct Key {
    explicit Key() = default;
  };

 public:
  // Only the shared instance exists: the key is Null's own.
  explicit Null(Key) {}

  // The shared instance, made by the first call and never freed, so it is
  // safe to use from static destructors too.
  static const Ref<Null>& null();
  // True exactly for the shared instance; false for a null pointer.
  static bool isNull(Ptr<const Object> object);

  Ref<String> description() const override;  // "null"
  const char* classNameC() const override { return "Null"; }
};

}  // namespace quorl
