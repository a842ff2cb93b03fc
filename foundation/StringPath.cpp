// String: path operations. Both '/' and '\' separate, runs of separators
// count as one, trailing separators are ignored, and every path built here
// uses '/'. Pure byte work: nothing touches the file system.
#include "Array.h"
#include "String.h"

namespace quorl {

namespace {

inline bool isSeparator(uint8_t b) { return b == '/' || b == '\\'; }

inline bool isBytes(const String& s, const char* text, uint32_t n) {
  return s.byteLength() == n && std::string_view(s.cString(), n) == std::string_view(text, n);
}

}  // namespace

uint32_t String::_lastComponentEnd() const {
  const uint8_t* b = bytes_.get();
  uint32_t end = length_;
  while (end > 0 && isSeparator(b[end - 1])) end--;
  return end;
}

uint32_t String::_lastComponentStart(uint32_t end) const {
  if (end > length_) end = length_;
  if (end == 0) return 0;
  const uint8_t* b = bytes_.get();
  if (isSeparator(b[end - 1])) return end;
  uint32_t j = end;
  while (j > 0 && !isSeparator(b[j - 1])) j--;
  return j;
}

bool String::isAbsolutePath() const {
  if (length_ == 0) return false;
  const uint8_t* b = bytes_.get();
  if (isSeparator(b[0])) return true;
  return length_ >= 3 && b[1] == ':' && isSeparator(b[2]);
}

Ref<String> String::lastPathComponent() const { return lastPathComponent(true); }

Ref<String> String::lastPathComponent(bool backslashSeparates) const {
  const uint8_t* b = bytes_.get();
  const auto separates = [&](uint32_t i) { return b[i] == '/' || (backslashSeparates && b[i] == '\\'); };
  uint32_t end = length_;
  while (end > 0 && separates(end - 1)) end--;
  if (end == 0) return length_ ? withCString("/") : make<String>();
  uint32_t start = end;
  while (start > 0 && !separates(start - 1)) start--;
  return substringBytes(start, end - start);
}

Ref<String> String::deletingLastPathComponent() const {
  const uint32_t end = _lastComponentEnd();
  if (end == 0) return length_ ? withCString("/") : make<String>();
  const uint32_t start = _lastComponentStart(end);
  if (start == 0) return make<String>();  // a single name has no parent
  const uint8_t* b = bytes_.get();
  uint32_t p = start;
  while (p > 0 && isSeparator(b[p - 1])) p--;
  return p > 0 ? substringBytes(0, p) : withCString("/");
}

uint32_t String::_extensionDot() const {
  const uint32_t end = _lastComponentEnd();
  if (end == 0) return kNotFound;
  const uint32_t start = _lastComponentStart(end);
  const uint8_t* b = bytes_.get();
  for (uint32_t j = end; j-- > start;) {
    if (b[j] != '.') continue;
    // '.profile' and 'name.' have no extension.
    return (j == start || j == end - 1) ? kNotFound : j;
  }
  return kNotFound;
}

Ref<String> String::pathExtension() const {
  const uint32_t dot = _extensionDot();
  if (dot == kNotFound) return make<String>();
  return substringBytes(dot + 1, _lastComponentEnd() - dot - 1);
}

Ref<String> String::deletingPathExtension() const {
  const uint32_t dot = _extensionDot();
  return dot == kNotFound ? withString(this) : substringBytes(0, dot);
}

Ref<String> String::appendingPathComponent(Ptr<const String> component) const {
  const uint32_t baseLength = _lastComponentEnd();
  const uint8_t* c = component ? component->_bytesAt(0) : nullptr;
  uint32_t cStart = 0, cEnd = component ? component->length_ : 0;
  while (cStart < cEnd && isSeparator(c[cStart])) cStart++;
  while (cEnd > cStart && isSeparator(c[cEnd - 1])) cEnd--;

  if (cStart == cEnd) {
    if (baseLength) return substringBytes(0, baseLength);
    return length_ ? withCString("/") : make<String>();
  }
  Ref<String> out = make<String>();
  if (baseLength) {
    out->appendBytes(bytes_.get(), baseLength);
    out->appendByte('/');
  } else if (length_) {
    out->appendByte('/');  // this path held only separators: the root
  }
  out->appendBytes(c + cStart, cEnd - cStart);
  return out;
}

Ref<String> String::appendingPathExtension(Ptr<const String> extension) const {
  Ref<String> out = substringBytes(0, _lastComponentEnd());
  if (extension && extension->length_) {
    out->appendByte('.');
    out->append(extension);
  }
  return out;
}

Ref<Array> String::pathComponents() const {
  Ref<Array> out = make<Array>();
  const uint8_t* b = bytes_.get();
  if (length_ && isSeparator(b[0])) out->add(withCString("/"));
  uint32_t i = 0;
  while (i < length_) {
    while (i < length_ && isSeparator(b[i])) i++;
    const uint32_t start = i;
    while (i < length_ && !isSeparator(b[i])) i++;
    if (i > start) out->add(withBytes(b + start, i - start));
  }
  return out;
}

Ref<String> String::pathWithComponents(Ptr<const Array> components) {
  Ref<String> result = make<String>();
  if (!components) return result;
  for (uint32_t k = 0; k < components->count(); k++) {
    const String* entry = dynamic_cast<const String*>(components->get(k).get());
    if (!entry) continue;
    // An entry made only of separators (its last component is "/") is the
    // root when nothing precedes it.
    if (result->isEmpty() && entry->isAbsolutePath() && entry->_lastComponentEnd() == 0) {
      result = withCString("/");
    } else {
      result = result->appendingPathComponent(entry);
    }
  }
  return result;
}

Ref<String> String::normalizedPath() const {
  Ref<Array> comps = pathComponents();
  const bool absolute = isAbsolutePath();
  Ref<Array> out = make<Array>();
  for (uint32_t k = 0; k < comps->count(); k++) {
    const Ref<Object>& c = comps->get(k);
    const String& name = static_cast<const String&>(*c);
    if (isBytes(name, ".", 1)) continue;
    if (!isBytes(name, "..", 2)) {
      out->add(c);
      continue;
    }
    const uint32_t n = out->count();
    const String* last = n ? static_cast<const String*>(out->get(n - 1).get()) : nullptr;
    if (last && !isBytes(*last, "..", 2)) {
      // Never climb above the root (or a drive such as 'C:').
      if (!(absolute && n == 1)) out->removeLast();
    } else if (!absolute) {
      out->add(c);
    }
  }
  return pathWithComponents(out);
}

}  // namespace quorl
