// Helpers of the result model that have no instances: lenient reading of
// parsed JSON (`BHelp`) and the display of times (`Fmt`).
#pragma once

#include <cstdint>

#include "foundation/Object.h"

namespace quorl {

class Map;

class BHelp final : public Object {
 public:
  const char* classNameC() const override { return "BHelp"; }

  // A String value itself (shared), a Number's description, else null.
  static Ref<String> text(const Ref<Object>& value);
  // null for a null map or an absent key; else text() of the member.
  static Ref<String> field(Ptr<const Map> map, Ptr<const String> key);
  static Ref<String> field(Ptr<const Map> map, const char* key);
  // The member's integer view when it is a Number, else the default.
  static int64_t intField(Ptr<const Map> map, Ptr<const String> key, int64_t fallback);
  static int64_t intField(Ptr<const Map> map, const char* key, int64_t fallback);

  // Case-insensitive substring test: a null or empty needle always matches,
  // a null haystack matches nothing else.
  static bool contains(Ptr<const String> haystack, Ptr<const String> needle);
  // The device code of a picker label, or the label itself.
  static Ref<String> deviceCode(const Ref<String>& label);
  // The benchmark left out of every aggregate.
  static bool isOutlier(Ptr<const String> name);

  // Equal ignoring ASCII case, and false when either text is missing.
  // String::equalsIgnoringCase answers true for a null argument, which
  // would let a run without a field match any criterion.
  static bool same(Ptr<const String> a, Ptr<const String> b);
  static bool same(Ptr<const String> a, const char* b);
};

class Fmt final : public Object {
 public:
  const char* classNameC() const override { return "Fmt"; }

  // "1.23 s", "45.6 ms" or "789 us".
  static Ref<String> us(int64_t micros);
};

}  // namespace quorl
