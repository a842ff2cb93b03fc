// The part of the TLS client both platforms share: reading a bundle file.
#include "net/Tls.h"

#include "foundation/Files.h"

namespace quorl {

Ref<String> tlsReadBundle(const char* path, Ref<String>* why) {
  Ref<String> name = String::withCString(path ? path : "");
  FileFailure failure = FileFailure::none;
  Ref<String> text = Files::readText(name, kMaxBundleBytes, &failure);
  const char* reason = nullptr;
  if (!text) {
    switch (failure) {
      case FileFailure::folder:
        reason = "%s is a folder";
        break;
      case FileFailure::notRegular:
        reason = "%s is not a regular file";
        break;
      case FileFailure::tooLarge:
        reason = "%s is larger than 16 MiB";
        break;
      default:
        reason = "%s cannot be read";
        break;
    }
  } else if (text->isEmpty()) {
    reason = "%s is empty";
  }
  if (!reason) return text;
  if (why) *why = String::withFormat(reason, name->cString());
  return nullptr;
}

namespace {

int base64Value(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

// True when the base64 text (line breaks allowed) decodes to one DER
// SEQUENCE whose length is exactly what was decoded: the outer frame of an
// X.509 certificate.
bool holdsDerSequence(std::string_view text) {
  std::string der;
  uint32_t bits = 0;
  int count = 0;
  size_t padding = 0;
  for (char c : text) {
    if (c == '\r' || c == '\n' || c == ' ' || c == '\t') continue;
    if (c == '=') {
      padding++;
      continue;
    }
    const int v = base64Value(c);
    if (v < 0 || padding > 0) return false;
    bits = bits << 6 | static_cast<uint32_t>(v);
    if (++count == 4) {
      der.push_back(static_cast<char>(bits >> 16));
      der.push_back(static_cast<char>(bits >> 8));
      der.push_back(static_cast<char>(bits));
      bits = 0;
      count = 0;
    }
  }
  if (padding > 2 || (count + padding) % 4 != 0 || (count != 0 && count < 2)) return false;
  if (count == 2) der.push_back(static_cast<char>(bits >> 4));
  if (count == 3) der.push_back(static_cast<char>(bits >> 10)), der.push_back(static_cast<char>(bits >> 2));
  if (der.size() < 2 || static_cast<uint8_t>(der[0]) != 0x30) return false;
  const uint8_t first = static_cast<uint8_t>(der[1]);
  size_t header = 2, length = first;
  if (first & 0x80) {
    const size_t n = first & 0x7F;
    if (n == 0 || n > 4 || der.size() < 2 + n) return false;
    length = 0;
    for (size_t i = 0; i < n; i++) length = length << 8 | static_cast<uint8_t>(der[2 + i]);
    header += n;
  }
  return header + length == der.size();
}

}  // namespace

uint32_t tlsCountPemCertificates(std::string_view pem) {
  static constexpr std::string_view kBegin = "-----BEGIN CERTIFICATE-----", kEnd = "-----END CERTIFICATE-----";
  uint32_t found = 0;
  for (size_t at = pem.find(kBegin); at != std::string_view::npos; at = pem.find(kBegin, at)) {
    at += kBegin.size();
    const size_t end = pem.find(kEnd, at);
    if (end == std::string_view::npos) break;
    if (holdsDerSequence(pem.substr(at, end - at))) found++;
    at = end + kEnd.size();
  }
  return found;
}

}  // namespace quorl
