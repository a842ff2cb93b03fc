#include "bench/BHelp.h"

#include "bench/ResultKeys.h"
#include "bench/TextKeys.h"
#include "foundation/Map.h"
#include "foundation/Number.h"
#include "foundation/String.h"

namespace quorl {

Ref<String> BHelp::text(const Ref<Object>& value) {
  // Tested on the plain pointer: a corpus asks this a million times, and a
  // cast of the Ref would count the reference up and down for nothing.
  if (valueAs<String>(value.get())) return staticCast<String>(value);
  if (auto* n = valueAs<Number>(value.get())) return n->description();
  return nullptr;
}

Ref<String> BHelp::field(Ptr<const Map> map, Ptr<const String> key) {
  if (!map || !key) return nullptr;
  return text(map->get(key.get()));
}

Ref<String> BHelp::field(Ptr<const Map> map, const char* key) {
  if (!map || !key) return nullptr;
  return text(map->get(key));
}

int64_t BHelp::intField(Ptr<const Map> map, Ptr<const String> key, int64_t fallback) {
  if (!map || !key) return fallback;
  Ref<Object> value = map->get(key.get());
  auto* n = dynamic_cast<const Number*>(value.get());
  return n ? n->integerValue() : fallback;
}

int64_t BHelp::intField(Ptr<const Map> map, const char* key, int64_t fallback) {
  if (!map || !key) return fallback;
  Ref<Object> value = map->get(key);
  auto* n = dynamic_cast<const Number*>(value.get());
  return n ? n->integerValue() : fallback;
}

bool BHelp::contains(Ptr<const String> haystack, Ptr<const String> needle) {
  if (!needle || needle->isEmpty()) return true;
  if (!haystack) return false;
  // The lowercased copies' byte search, without making the copies. Like
  // them, it reads each text only up to its first NUL.
  const char* h = haystack->cString();
  const char* n = needle->cString();
  return textkeys::containsFolded(h, textkeys::cLength(h), n, textkeys::cLength(n));
}

Ref<String> BHelp::deviceCode(const Ref<String>& label) {
  static const struct {
    const char* label;
    const char* code;
  } kCodes[] = {{"one thread", "serial"}, {"all threads", "cpu"}, {"GPU", "gpu"}, {"Vulkan", "vulkan"}};
  for (const auto& entry : kCodes) {
    if (same(label, entry.label)) return String::withCString(entry.code);
  }
  return label;
}

bool BHelp::isOutlier(Ptr<const String> name) { return same(name, "matrix_mul_f32"); }

bool BHelp::same(Ptr<const String> a, Ptr<const String> b) {
  if (!a || !b) return false;
  const char* pa = a->cString();
  const char* pb = b->cString();
  return textkeys::equalFolded(pa, textkeys::visibleLength(pa, a->byteLength()), pb,
                               textkeys::visibleLength(pb, b->byteLength()));
}

bool BHelp::same(Ptr<const String> a, const char* b) {
  if (!a || !b) return false;
  const char* pa = a->cString();
  return textkeys::equalFolded(pa, textkeys::visibleLength(pa, a->byteLength()), b, textkeys::cLength(b));
}

Ref<String> Fmt::us(int64_t micros) {
  auto out = make<String>();
  if (micros >= 1000000) {
    out->appendFormat("%.2f s", static_cast<double>(micros) / 1e6);
  } else if (micros >= 1000) {
    out->appendFormat("%.1f ms", static_cast<double>(micros) / 1000.0);
  } else {
    out->appendFormat("%lld us", static_cast<long long>(micros));
  }
  return out;
}

}  // namespace quorl
