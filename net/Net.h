// Net: the application's client of the benchmark server. Synchronous; a
// failure answers none and leaves a text for Net::lastError.
#pragma once

#include <cstdint>
#include <functional>

#include "foundation/Object.h"
#include "foundation/String.h"
#include "net/Http.h"

namespace quorl {

class Net final : public Object {
 public:
  Net() = delete;
  const char* classNameC() const override { return "Net"; }

  static constexpr const char* kDefaultServer = "https://bench.quorl.org";

  // QUORL_BENCH_SERVER without trailing '/', or the built-in default when
  // it is unset or empty; none when it is set to a value too long to take
  // (the reason left for lastError), so that nothing goes to the default.
  static Ref<String> server();
  // The newest failure text; "unknown error" before the first.
  static Ref<String> lastError();
  // Remembers the program's directory, where "cacert.pem" may lie.
  static void setProgramPath(Ptr<const String> path);
  // Installs an HTTPS layer once: a system bundle, the TLS library's own
  // set-up, "cacert.pem" beside the program, "cacert.pem" in the working
  // directory, in that order.
  static bool installTls();
  // GET with redirects; the body of a complete 2xx reply, else none (also
  // for a 2xx that has no body by its status: "the server answered 204").
  static Ref<String> get(Ptr<const String> urlText);
  // One POST of a JSON body, no redirects; the reply whatever its status,
  // or none when there was no well-formed reply. A reply longer than
  // `maxReplyBytes` (or the client's own cap, when that is smaller) is
  // not read on: none, "response larger than N bytes".
  static Ref<HttpResponse> post(Ptr<const String> urlText, Ptr<const String> body,
                                uint32_t maxReplyBytes = UINT32_MAX);

  // -- For tests ------------------------------------------------------------
  // Forgets the installed state, the last error and the program directory.
  static void _reset();
  // Answers the TLS library's patch level; tests replace it to take away
  // the set-up without a bundle file.
  static std::function<int32_t()>& _abiLevel();

 private:
  static void _fail(Ref<String> text);
  static void _fail(const char* text) { _fail(String::withCString(text)); }
};

}  // namespace quorl
