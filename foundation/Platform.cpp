#include "Platform.h"

#include "String.h"

namespace quorl {

Ref<String> Platform::env(Ptr<const String> name) {
  Ref<String> result = make<String>();
  if (!name) return result;
  Ref<String> value = _rawEnv(name->cString());
  // The copy is taken here, so later changes to the environment never reach
  // a String the caller holds.
  if (value && value->byteLength() < kEnvLimit) result->append(value);
  return result;
}

bool Platform::envTooLong(Ptr<const String> name) {
  if (!name) return false;
  Ref<String> value = _rawEnv(name->cString());
  return value && value->byteLength() >= kEnvLimit;
}

}  // namespace quorl
