// Url: an immutable URL text whose accessors scan it afresh on each call.
// It does not normalise; every accessor answers something for any text.
// The background fetch (Url::fetch, take, complete) lives in Fetch.cpp.
#pragma once

#include <cstdint>

#include "foundation/Object.h"
#include "foundation/String.h"

namespace quorl {

class FetchReq;

// What a fetch's requester is told: the status (0 on failure) and the body
// text (null on failure).
using FetchCompletion = Block<uint32_t, Ref<String>>;

class Url : public Object {
 public:
  // Keeps a copy of the text up to its first NUL byte; null gives "".
  explicit Url(Ptr<const String> text);
  explicit Url(const char* text);
  static Ref<Url> withString(Ptr<const String> text) { return make<Url>(text); }
  static Ref<Url> withCString(const char* text) { return make<Url>(text); }

  const char* classNameC() const override { return "Url"; }

  // Byte index of the needle at or after `from`; kNotFound when absent.
  uint32_t _find(Ptr<const String> needle, uint32_t from) const;
  uint32_t _find(const char* needle, uint32_t from) const;
  // Index just behind the first "://", 0 when there is none.
  uint32_t _afterScheme() const;

  Ref<String> scheme() const;
  // The host as written, an IPv6 literal with its brackets ("[::1]"), as
  // the Host field and a redirect target carry it.
  Ref<String> host() const;
  // The host as the resolver and the TLS name check take it: without the
  // brackets of an IPv6 literal ("::1"); any other host unchanged.
  static Ref<String> unbracketed(Ptr<const String> host);
  // The port written behind the host, 1..65535; 0 when none is written
  // (nothing, or nothing behind the ':', as "http://h:/" is read: the
  // scheme's own port). kInvalidPort whenever the authority is malformed
  // (authorityFault), so that no malformed port is ever taken for none.
  uint32_t port() const;
  static constexpr uint32_t kInvalidPort = 0xFFFFFFFFu;
  // Why the authority (the host and the port behind it, up to the first
  // '/' or '?') cannot be requested; null when it can. A written port is
  // decimal digits only, 1..65535 (leading zeros allowed), directly behind
  // the host: otherwise "invalid port in URL". A bracket anywhere but
  // around a whole, non-empty IPv6 literal at the host's start, or bytes
  // between a bracketed host and its ':', give "invalid URL".
  Ref<String> authorityFault() const;
  Ref<String> path() const;
  Ref<String> query() const;

  bool isFileURL() const;
  Ref<String> filePath() const;  // null unless a file URL
  Ref<String> lastPathComponent() const;
  Ref<String> pathExtension() const;

  // The stored text itself, shared.
  const Ref<String>& toString() const { return text_; }

  static Ref<String> percentDecode(Ptr<const String> text);
  static int32_t _hex(uint8_t byte);

  // -- Background fetch (Fetch.cpp) --------------------------------------
  // Registers a pending request and hands it to the platform delegate; with
  // none installed it completes at once with status 0.
  void fetch(FetchCompletion completion);
  static Ref<FetchReq> take(uint32_t token);
  static void complete(uint32_t token, uint32_t status, Ref<String> body);

 private:
  uint32_t _hostEnd(uint32_t from) const;
  enum class Fault : uint8_t { none, url, port };
  // The one reading of the authority: its fault, and its port (0 when none
  // is written) when it has none.
  struct Authority {
    Fault fault = Fault::none;
    uint32_t port = 0;
  };
  Authority _authority() const;

  Ref<String> text_;
};

}  // namespace quorl
