// Object: the root class's universal operations.
#include "Object.h"

#include "String.h"

namespace quorl {

Ref<String> Object::description() const { return String::withCString("<Object>"); }

uint32_t Object::hashAddress(const void* address) {
  // Only the low 32 bits of the address take part, so two addresses that
  // differ above bit 31 hash alike; the mixing spreads the aligned low bits.
  const uint32_t a = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(address));
  const uint32_t h = (a ^ (a >> 16)) * 0x85ebca77u;
  return h ^ (h >> 13);
}

uint32_t Object::hash() const { return hashAddress(this); }

Ref<String> Object::className(Ptr<const Object> object) {
  if (!object) return nullptr;
  const char* name = object->classNameC();
  if (!name) return nullptr;
  return String::withCString(name);
}

}  // namespace quorl
