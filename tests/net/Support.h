// Helpers shared by the networking tests.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>

#include "net/Http.h"

namespace quorl::test {

inline std::string str(const Ref<String>& s) { return s ? std::string(s->cString(), s->byteLength()) : "(null)"; }
inline std::string bytes(const Ref<Data>& d) {
  return d ? std::string(reinterpret_cast<const char*>(d->bytes()), d->length()) : "(null)";
}

// The byte pattern the test server sends for generated bodies.
inline std::string pattern(size_t n) {
  std::string out;
  out.reserve(n);
  for (size_t i = 0; i < n; i++) out.push_back(static_cast<char>(32 + i % 95));
  return out;
}

// Bytes as the lowercase hex digits the test server's /raw takes.
inline std::string hex(const std::string& bytes) {
  std::string out;
  for (const unsigned char c : bytes) out += "0123456789abcdef"[c >> 4], out += "0123456789abcdef"[c & 15];
  return out;
}

// The certificate block(s) of a PEM text with zero bytes after the first
// block's certificate: its padding becomes data ('=' read as 'A' adds a
// zero byte in the place it held), or a group of three zero bytes is added.
inline std::string withTrailingBytes(std::string pem) {
  const size_t end = pem.find("-----END");
  const size_t pad = pem.find('=');
  if (pad != std::string::npos && pad < end)
    for (size_t i = pad; i < end; i++) pem[i] = pem[i] == '=' ? 'A' : pem[i];
  else
    pem.insert(end, "AAAA\n");
  return pem;
}

// A limit for the code under test that a loaded machine's delays never
// reach: `times` times what `sample` (the same kind of work as the limit
// bounds) took just now in the same test, at least `atLeastMs`, rounded up
// to whole seconds so that its words are plain. `ok` is false when the
// sample itself failed.
template <class Sample>
uint32_t msFarAbove(Sample&& sample, uint32_t atLeastMs, bool& ok, uint32_t times = 50) {
  const auto start = std::chrono::steady_clock::now();
  ok = sample();
  const int64_t took =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
  const int64_t ms = std::max<int64_t>(atLeastMs, took * times);
  return uint32_t((ms + 999) / 1000 * 1000);
}

// Restores the client's limits when the test ends.
struct LimitsScope {
  HttpLimits saved = Http::limits();
  ~LimitsScope() { Http::limits() = saved; }
};

}  // namespace quorl::test
