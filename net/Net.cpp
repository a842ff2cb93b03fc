#include "net/Net.h"

#include <cstring>
#include <mutex>

#include "foundation/Files.h"
#include "foundation/Platform.h"
#include "net/HttpTls.h"

namespace quorl {

namespace {

// The process-wide state. The application uses it from its one thread; the
// lock is there because an https redirect met by a background fetch may set
// up TLS from another thread.
std::recursive_mutex gLock;
Ref<String> gError;  // newest failure, never cleared by a success
Ref<String> gDir;    // the program's directory
bool gTls = false;   // a layer was installed by installTls

bool isScheme(const Ref<String>& scheme, const char* name) {
  return scheme->byteLength() == std::strlen(name) && std::memcmp(scheme->cString(), name, scheme->byteLength()) == 0;
}

}  // namespace

void Net::_fail(Ref<String> text) {
  std::lock_guard<std::recursive_mutex> lock(gLock);
  gError = std::move(text);
}

void Net::_reset() {
  std::lock_guard<std::recursive_mutex> lock(gLock);
  gError = nullptr;
  gDir = nullptr;
  gTls = false;
}

std::function<int32_t()>& Net::_abiLevel() {
  static std::function<int32_t()> probe = [] { return tls_abi_1_0(); };
  return probe;
}

Ref<String> Net::server() {
  Ref<String> name = String::withCString("QUORL_BENCH_SERVER");
  Ref<String> value = Platform::env(name);
  uint32_t n = value->byteLength();
  // A value too long to be taken is no reason to send the user's run to
  // the built-in server instead of the one they named.
  if (n == 0 && Platform::envTooLong(name)) {
    _fail(String::withFormat("QUORL_BENCH_SERVER is longer than %u bytes", Platform::kEnvLimit - 1));
    return nullptr;
  }
  // Only an unset or empty variable means the built-in server; any other
  // value is the caller's, even one made only of slashes.
  if (n == 0) return String::withCString(kDefaultServer);
  // "%s/benchmarks/..." must not become "//benchmarks/...".
  while (n > 0 && value->byteAt(n - 1) == '/') n--;
  return value->substringBytes(0, n);
}

Ref<String> Net::lastError() {
  std::lock_guard<std::recursive_mutex> lock(gLock);
  return gError ? gError : String::withCString("unknown error");
}

void Net::setProgramPath(Ptr<const String> path) {
  std::lock_guard<std::recursive_mutex> lock(gLock);
  gDir = path ? path->deletingLastPathComponent() : nullptr;
}

bool Net::installTls() {
  std::lock_guard<std::recursive_mutex> lock(gLock);
  if (gTls) return true;
  // Why each bundle that was found was not taken; a missing one says nothing.
  Ref<String> refused = String::withCString("no CA bundle for https (put cacert.pem beside the program)");
  const uint32_t bare = refused->byteLength();
  Ref<String> why;
  auto note = [&] {
    if (!why) return;
    refused->appendCString(refused->byteLength() == bare ? ": " : "; ");
    refused->append(why);
    why = nullptr;
  };
  gTls = HttpTls::install(&why);
  note();
  if (!gTls && _abiLevel()() >= 1) {
    Ref<TlsClient> client = make<TlsClient>();
    client->init();
    if (client->setupWithoutBundle(&why)) {
      Http::setSecureLayer(make<_HttpTlsLayer>(client));
      gTls = true;
    }
    note();
  }
  if (!gTls && gDir && !gDir->isEmpty()) {
    Ref<String> path = gDir->appendingPathComponent(String::withCString("cacert.pem"));
    if (Files::exists(path)) gTls = HttpTls::installWithBundle(path, &why);
    note();
  }
  if (!gTls) {
    Ref<String> path = String::withCString("cacert.pem");
    if (Files::exists(path)) gTls = HttpTls::installWithBundle(path, &why);
    note();
  }
  if (gTls) return true;
  gError = refused;
  return false;
}

Ref<String> Net::get(Ptr<const String> urlText) {
  // TLS is set up when a request of the chain is https, not before: a plain
  // http server must not depend on a CA bundle being found.
  Http::LayerInstaller installer = []() -> Ref<String> { return installTls() ? nullptr : lastError(); };
  Ref<HttpResponse> response = Http::get(make<Url>(urlText), installer);
  if (!response) {
    _fail("no response");
    return nullptr;
  }
  // A success whose status carries no body (204) sent no text to answer:
  // an empty one would stand for a body the server never sent.
  if (response->succeeded() && !response->hasNoBody() && !response->error)
    return String::withBytes(response->body->bytes(), response->body->length());
  if (response->error)
    _fail(response->error);
  else
    _fail(String::withFormat("the server answered %d", static_cast<int32_t>(response->status)));
  return nullptr;
}

Ref<HttpResponse> Net::post(Ptr<const String> urlText, Ptr<const String> body, uint32_t maxReplyBytes) {
  Ref<Url> url = make<Url>(urlText);
  Ref<Url> target = Http::_withoutFragment(url);
  // Checked in the order a GET checks them, so that both say the same of
  // one address.
  Ref<String> scheme = target->scheme()->lowercased();
  const bool secure = isScheme(scheme, "https");
  if (!secure && !isScheme(scheme, "http")) {
    _fail(String::withFormat("unsupported scheme '%s'", scheme->cString()));
    return nullptr;
  }
  if (Ref<String> bad = Http::_checkUrlText(target)) {
    _fail(bad);
    return nullptr;
  }
  Ref<String> host = target->host();
  if (host->isEmpty()) {
    _fail("no host in the URL");
    return nullptr;
  }
  if (secure && !installTls()) return nullptr;
  const uint32_t written = target->port();  // sound: checked above
  const uint32_t defaultPort = secure ? 443 : 80;
  const uint32_t port = written != 0 ? written : defaultPort;

  _HttpSocket socket(Http::_deadlineFromNow());
  if (!socket.open(host, port)) {
    _fail(socket.error);
    return nullptr;
  }
  if (secure && !socket.startSecure(Http::secureLayer().get(), host)) {
    _fail(socket.error);
    socket.disconnect();
    return nullptr;
  }

  Ref<String> path = target->path();
  if (path->isEmpty()) path = String::withCString("/");
  const uint32_t bodyLength = body ? body->byteLength() : 0;
  Ref<String> request = String::withCString("POST ");
  request->reserve(bodyLength + 256 + path->byteLength() + host->byteLength());
  request->append(path);
  request->appendCString(" HTTP/1.1\r\nHost: ");
  request->append(host);
  // Another port is part of the host the server is asked for.
  if (port != defaultPort) request->appendFormat(":%u", port);
  request->appendCString("\r\nUser-Agent: quorl-lumaro/1\r\nContent-Type: application/json\r\nContent-Length: ");
  request->append(String::withU32(bodyLength));
  request->appendCString("\r\nConnection: close\r\n\r\n");
  if (body) request->appendBytes(body->cString(), bodyLength);
  // A server that answers before the body is all in (a refusal of its
  // size) is heard: its answer is the reply.
  bool unsent = false, nothing = false;
  Ref<HttpResponse> response = Http::_exchange(socket, url, request, &unsent, &nothing, maxReplyBytes);
  if (unsent) {
    _fail("the request could not be sent");
    return nullptr;
  }
  if (nothing) {
    _fail("the server sent nothing back");
    return nullptr;
  }
  if (response->error) {
    _fail(response->error);
    return nullptr;
  }
  if (response->status == 0) {
    _fail(String::withFormat("the server answered %d", 0));
    return nullptr;
  }
  return response;
}

}  // namespace quorl
