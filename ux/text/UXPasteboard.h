// The process's copy-and-paste store: one text value per type name. Nothing
// is exchanged with the operating system's clipboard.
//
// The pasteboard owns copies of the type names and values it is given; a
// replaced value is freed. A value read with stringForType stays valid until
// the next setString of the same type.
#pragma once

#include <cstdint>
#include <string>

#include "foundation/Array.h"
#include "foundation/Object.h"

namespace quorl {

class String;

inline constexpr const char* kUXPasteboardTypeText = "public.utf8-plain-text";

class UXPasteboardEntry : public Object {
 public:
  std::string type;
  std::string value;
  const char* classNameC() const override { return "UXPasteboardEntry"; }
};

class UXPasteboard : public Object {
 public:
  // At most this many types; setString of a further type is ignored.
  static constexpr uint32_t kMaxTypes = 65535;

  Ref<Array> entries = make<Array>();  // UXPasteboardEntry, in first-set order
  int32_t changeCount = 0;

  // The shared pasteboard, made on first use and never released.
  static Ref<UXPasteboard> general();

  // Null value or type: nothing happens.
  void setString(const char* value, const char* type);
  const char* stringForType(const char* type) const;  // null when never set
  Ref<UXPasteboardEntry> entryForType(const char* type) const;
  static bool streq(const char* a, const char* b);

  Ref<String> description() const override;  // <UXPasteboard>(changeCount)
  const char* classNameC() const override { return "UXPasteboard"; }
};

}  // namespace quorl
