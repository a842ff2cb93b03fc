#include "net/Url.h"

#include <cstring>

namespace quorl {

Url::Url(Ptr<const String> text) : text_(String::withString(text)) {}

Url::Url(const char* text) : text_(text ? String::withCString(text) : make<String>()) {}

uint32_t Url::_find(const char* needle, uint32_t from) const {
  const uint32_t n = text_->byteLength();
  const uint32_t m = static_cast<uint32_t>(std::strlen(needle));
  if (m == 0 || m > n || from > n - m) return kNotFound;
  const char* b = text_->cString();
  for (uint32_t i = from; i <= n - m; i++)
    if (std::memcmp(b + i, needle, m) == 0) return i;
  return kNotFound;
}

uint32_t Url::_find(Ptr<const String> needle, uint32_t from) const {
  if (!needle) return kNotFound;
  const uint32_t n = text_->byteLength();
  const uint32_t m = needle->byteLength();
  if (m == 0 || m > n || from > n - m) return kNotFound;
  const char* b = text_->cString();
  const char* w = needle->cString();
  for (uint32_t i = from; i <= n - m; i++)
    if (std::memcmp(b + i, w, m) == 0) return i;
  return kNotFound;
}

uint32_t Url::_afterScheme() const {
  uint32_t i = _find("://", 0);
  return i == kNotFound ? 0 : i + 3;
}

Ref<String> Url::scheme() const {
  uint32_t i = _find("://", 0);
  return i == kNotFound ? make<String>() : text_->substringBytes(0, i);
}

// A host in brackets (an IPv6 literal) ends behind its ']': its colons are
// not a port's. Without the ']' no colon ends it, so that no part of the
// literal passes for a host.
uint32_t Url::_hostEnd(uint32_t from) const {
  const uint32_t n = text_->byteLength();
  const bool bracketed = from < n && text_->byteAt(from) == '[';
  uint32_t j = from;
  while (j < n) {
    uint8_t c = text_->byteAt(j);
    if (c == '/' || c == '?' || (c == ':' && !bracketed)) break;
    j++;
    if (bracketed && c == ']') break;
  }
  return j;
}

Ref<String> Url::unbracketed(Ptr<const String> host) {
  if (!host) return make<String>();
  const uint32_t n = host->byteLength();
  if (n >= 2 && host->byteAt(0) == '[' && host->byteAt(n - 1) == ']') return host->substringBytes(1, n - 2);
  return String::withString(host);
}

Ref<String> Url::host() const {
  uint32_t a = _afterScheme();
  return text_->substringBytes(a, _hostEnd(a) - a);
}

// The authority runs from behind the scheme to the first '/' or '?'. A
// bracketed host is one IPv6 literal: its ']' is followed by the port's ':'
// or by the authority's end. Any other host holds no bracket and ends at
// its first ':'. Whatever follows that ':' is the port, all of it: digits
// only, 1..65535; nothing there means none was written.
Url::Authority Url::_authority() const {
  const uint32_t n = text_->byteLength();
  const uint32_t a = _afterScheme();
  const char* b = text_->cString();
  uint32_t end = a;
  while (end < n && b[end] != '/' && b[end] != '?') end++;
  const auto holds = [&](uint32_t from, uint32_t to, char byte) {
    return std::memchr(b + from, byte, to - from) != nullptr;
  };
  uint32_t j;
  if (a < end && b[a] == '[') {
    j = a + 1;
    while (j < end && b[j] != ']') j++;
    if (j == end || j == a + 1 || holds(a + 1, j, '[')) return {Fault::url};
    j++;
    if (j < end && b[j] != ':') return {Fault::url};
  } else {
    j = a;
    while (j < end && b[j] != ':') j++;
    if (holds(a, j, '[') || holds(a, j, ']')) return {Fault::url};
  }
  if (j == end || j + 1 == end) return {};
  // Stops as soon as the value leaves the port range, so that no number of
  // digits can wrap round to a valid-looking port.
  uint32_t value = 0;
  for (uint32_t k = j + 1; k < end; k++) {
    if (b[k] < '0' || b[k] > '9') return {Fault::port};
    value = value * 10 + uint32_t(b[k] - '0');
    if (value > 65535) return {Fault::port};
  }
  if (value == 0) return {Fault::port};
  return {Fault::none, value};
}

uint32_t Url::port() const {
  const Authority authority = _authority();
  return authority.fault == Fault::none ? authority.port : kInvalidPort;
}

Ref<String> Url::authorityFault() const {
  switch (_authority().fault) {
    case Fault::none:
      return nullptr;
    case Fault::url:
      return String::withCString("invalid URL");
    case Fault::port:
      break;
  }
  return String::withCString("invalid port in URL");
}

Ref<String> Url::path() const {
  const uint32_t n = text_->byteLength();
  uint32_t j = _afterScheme();
  while (j < n && text_->byteAt(j) != '/' && text_->byteAt(j) != '?') j++;
  if (j < n && text_->byteAt(j) == '/') {
    uint32_t k = j;
    while (k < n && text_->byteAt(k) != '?') k++;
    return text_->substringBytes(j, k - j);
  }
  return String::withCString("/");
}

Ref<String> Url::query() const {
  uint32_t q = _find("?", 0);
  return q == kNotFound ? make<String>() : text_->substringFromByte(q + 1);
}

bool Url::isFileURL() const { return scheme()->lowercased()->equals(String::withCString("file")); }

Ref<String> Url::filePath() const {
  if (!isFileURL()) return nullptr;
  Ref<String> p = percentDecode(path());
  if (p->byteLength() >= 3 && p->byteAt(0) == '/' && p->byteAt(2) == ':') return p->substringFromByte(1);
  return p;
}

Ref<String> Url::lastPathComponent() const {
  Ref<String> c = percentDecode(path())->lastPathComponent();
  if (c->equals(String::withCString("/"))) return make<String>();
  return c;
}

Ref<String> Url::pathExtension() const { return percentDecode(path())->pathExtension(); }

int32_t Url::_hex(uint8_t byte) {
  if (byte >= '0' && byte <= '9') return byte - '0';
  if (byte >= 'a' && byte <= 'f') return byte - 'a' + 10;
  if (byte >= 'A' && byte <= 'F') return byte - 'A' + 10;
  return -1;
}

Ref<String> Url::percentDecode(Ptr<const String> text) {
  Ref<String> result = make<String>();
  if (!text) return result;
  const uint32_t n = text->byteLength();
  for (uint32_t i = 0; i < n;) {
    uint8_t c = text->byteAt(i);
    if (c == '%' && i + 2 < n) {
      int32_t h = _hex(text->byteAt(i + 1));
      int32_t l = _hex(text->byteAt(i + 2));
      if (h >= 0 && l >= 0) {
        result->appendByte(static_cast<uint8_t>(h * 16 + l));
        i += 3;
        continue;
      }
    }
    result->appendByte(c);
    i++;
  }
  return result;
}

}  // namespace quorl
