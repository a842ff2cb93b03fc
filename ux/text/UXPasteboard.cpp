#include "ux/text/UXPasteboard.h"

#include <cstring>

#include "foundation/String.h"

namespace quorl {

namespace {
Ref<UXPasteboard> gUXGeneralPasteboard;
}  // namespace

Ref<UXPasteboard> UXPasteboard::general() {
  if (!gUXGeneralPasteboard) gUXGeneralPasteboard = make<UXPasteboard>();
  return gUXGeneralPasteboard;
}

bool UXPasteboard::streq(const char* a, const char* b) {
  if (!a || !b) return a == b;
  return std::strcmp(a, b) == 0;
}

Ref<UXPasteboardEntry> UXPasteboard::entryForType(const char* type) const {
  if (!type) return nullptr;
  const uint32_t n = entries->count() < kMaxTypes ? entries->count() : kMaxTypes;
  for (uint32_t i = 0; i < n; i++) {
    Ref<UXPasteboardEntry> e = staticCast<UXPasteboardEntry>(entries->get(i));
    if (streq(e->type.c_str(), type)) return e;
  }
  return nullptr;
}

void UXPasteboard::setString(const char* value, const char* type) {
  if (!value || !type) return;
  Ref<UXPasteboardEntry> e = entryForType(type);
  if (!e) {
    if (entries->count() >= kMaxTypes) return;
    e = make<UXPasteboardEntry>();
    e->type = type;
    entries->add(e);
  }
  // Assigning a fresh string frees the replaced value's bytes.
  e->value = std::string(value);
  changeCount++;
}

const char* UXPasteboard::stringForType(const char* type) const {
  Ref<UXPasteboardEntry> e = entryForType(type);
  return e ? e->value.c_str() : nullptr;
}

Ref<String> UXPasteboard::description() const {
  const uint16_t values[1] = {uint16_t(changeCount)};
  return String::_classDescribe("UXPasteboard", values, 1, 0x01);
}

}  // namespace quorl
