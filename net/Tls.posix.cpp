// TlsClient over libtls (LibreSSL's API, here over OpenSSL).
#include "net/Tls.h"

#include "foundation/Files.h"

#include <openssl/bio.h>
#include <openssl/crypto.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <tls.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <sys/socket.h>

namespace quorl {

int32_t tls_abi_1_0() { return 1; }

std::vector<std::string> tlsSystemBundles() {
  return {"/etc/ssl/cert.pem", "/etc/ssl/certs/ca-certificates.crt", "/etc/pki/tls/certs/ca-bundle.crt",
          "/etc/ssl/ca-bundle.pem"};
}

namespace {

// Every operation of a session (the handshake, one read, one write, the
// close notice) ends within the socket's own time-out, counted once from the
// operation's start (SocketIO::Budget): the HTTP client shortens those
// time-outs as its deadline nears and relies on no operation outlasting
// them. libtls reaches the socket only through the two callbacks below,
// which move bytes without blocking and wait with what is left when the
// socket has none to give or no room to take. Left
// to its own blocking calls, libtls would restart the full time-out at every
// record, and a wait for the socket after a timed-out call would double it.
class LibTlsConnection final : public TlsConnection {
 public:
  LibTlsConnection(struct tls* ctx, int fd) : ctx_(ctx), fd_(fd) {}
  ~LibTlsConnection() override {
    if (ctx_) tls_free(ctx_);
  }
  const char* classNameC() const override { return "TlsConnection"; }

  bool handshake(const char* host) {
    if (tls_connect_cbs(ctx_, receiveCallback, sendCallback, this, host) != 0) return false;
    budget_.start(fd_, true, true);
    return retrying([&] { return static_cast<ssize_t>(tls_handshake(ctx_)); }) == 0;
  }

  void close() override {
    if (ctx_ && !closed_) {
      budget_.start(fd_, false, true);
      retrying([&] { return static_cast<ssize_t>(tls_close(ctx_)); });
    }
    closed_ = true;
  }

  int32_t read(void* buffer, uint32_t capacity) override {
    if (!ctx_ || closed_) return -1;
    if (capacity > 0x7FFFFFFFu) capacity = 0x7FFFFFFFu;
    budget_.start(fd_, true, false);
    ssize_t r = retrying([&] { return tls_read(ctx_, buffer, capacity); });
    return r < 0 ? -1 : static_cast<int32_t>(r);
  }

  int32_t write(const void* bytes, uint32_t length) override {
    if (!ctx_ || closed_) return -1;
    if (length > 0x7FFFFFFFu) length = 0x7FFFFFFFu;
    budget_.start(fd_, false, true);
    ssize_t r = retrying([&] { return tls_write(ctx_, bytes, length); });
    return r <= 0 ? -1 : static_cast<int32_t>(r);
  }

 private:
  // libtls drives OpenSSL without automatic retries, so it can answer
  // TLS_WANT_POLLIN after a record that carried no data (a TLS 1.3 session
  // ticket, say) even though the callbacks never ask to be called again.
  // The call is repeated while time is left; the callbacks do the waiting.
  template <class Call> ssize_t retrying(Call call) {
    for (int attempt = 0; attempt < 1024; attempt++) {
      ssize_t r = call();
      if (r != TLS_WANT_POLLIN && r != TLS_WANT_POLLOUT) return r;
      if (budget_.spent()) return -1;
    }
    return -1;
  }

  static ssize_t receiveCallback(struct tls*, void* buffer, size_t length, void* self) {
    auto* c = static_cast<LibTlsConnection*>(self);
    for (;;) {
      ssize_t r = ::recv(c->fd_, buffer, length, MSG_DONTWAIT);
      if (r >= 0) return r;
      if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return -1;
      if (errno != EINTR && !c->budget_.wait(c->fd_, false)) return -1;
    }
  }

  static ssize_t sendCallback(struct tls*, const void* bytes, size_t length, void* self) {
    auto* c = static_cast<LibTlsConnection*>(self);
    for (;;) {
      ssize_t r = ::send(c->fd_, bytes, length, MSG_DONTWAIT | MSG_NOSIGNAL);
      if (r >= 0) return r;
      if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return -1;
      if (errno != EINTR && !c->budget_.wait(c->fd_, true)) return -1;
    }
  }

  struct tls* ctx_;
  int fd_;
  bool closed_ = false;
  SocketIO::Budget budget_;
};

}  // namespace

// libcrypto's own PEM and X.509 readers, those of the library under libtls:
// a block is a certificate when d2i_X509 reads it and no byte is left over.
TlsPemFault tlsReadPemCertificate(std::string_view block, std::string& der) {
  der.clear();
  if (block.size() > 0x7FFFFFFFu) return TlsPemFault::notCertificate;
  BIO* bio = BIO_new_mem_buf(block.data(), static_cast<int>(block.size()));
  char* name = nullptr;
  char* header = nullptr;
  unsigned char* data = nullptr;
  long length = 0;
  TlsPemFault fault = TlsPemFault::notCertificate;
  if (bio && PEM_read_bio(bio, &name, &header, &data, &length) == 1) {
    const unsigned char* end = data;
    if (X509* certificate = d2i_X509(nullptr, &end, length)) {
      const size_t read = static_cast<size_t>(end - data);
      fault = read == static_cast<size_t>(length) ? TlsPemFault::none : TlsPemFault::trailingBytes;
      if (fault == TlsPemFault::none) der.assign(reinterpret_cast<const char*>(data), read);
      X509_free(certificate);
    }
  }
  OPENSSL_free(name);
  OPENSSL_free(header);
  OPENSSL_free(data);
  BIO_free(bio);
  // The errors of a refused block must not stay queued on this thread,
  // where libtls would read them as its own.
  ERR_clear_error();
  return fault;
}

struct TlsClient::State {
  struct tls_config* config = nullptr;
  bool ready = false;  // a bundle loaded, or the default set up
  ~State() {
    if (config) tls_config_free(config);
  }
};

TlsClient::TlsClient() : state_(std::make_unique<State>()) {}
TlsClient::~TlsClient() = default;

void TlsClient::init() {
  if (!state_->config) state_->config = tls_config_new();
}

namespace {

// tls_configure takes the configuration's other settings; libtls parses the
// CA data only at the first handshake, so the bundle's certificates are read
// here (tlsBundleCertificates) before it is taken.
bool configures(struct tls_config* config) {
  struct tls* probe = tls_client();
  if (!probe) return false;
  bool ok = tls_configure(probe, config) == 0;
  tls_free(probe);
  return ok;
}

// Loads the bundle file into the configuration; libtls is never handed the
// path, since its own read waits on a pipe for ever and has no cap. It is
// handed the certificate blocks alone: another kind of block, or a
// malformed one, would fail its whole load at the first handshake.
bool loadBundle(struct tls_config* config, const char* path, Ref<String>* why) {
  Ref<String> pem = tlsReadBundle(path, why);
  if (!pem) return false;
  const std::vector<TlsBundleCertificate> certificates = tlsBundleCertificates(pem->view(), path, why);
  if (certificates.empty()) return false;
  std::string authorities;
  for (const TlsBundleCertificate& c : certificates) authorities.append(c.pem).push_back('\n');
  const bool ok = tls_config_set_ca_mem(config, reinterpret_cast<const uint8_t*>(authorities.data()),
                                        authorities.size()) == 0 &&
                  configures(config);
  if (!ok && why) *why = String::withFormat("%s cannot be loaded", path);
  return ok;
}

// The library's words for why a handshake failed, without OpenSSL's error
// codes and without the stage that the caller's own words already name:
// "handshake failed: error:0A000102:SSL routines::unsupported protocol"
// reads "unsupported protocol", "certificate verification failed:
// certificate has expired" reads "certificate has expired".
Ref<String> reasonOf(struct tls* ctx) {
  const char* text = ctx ? tls_error(ctx) : nullptr;
  if (!text || !*text) return String::withCString("the handshake failed");
  std::string reason = text;
  for (const char* stage : {"handshake failed: ", "certificate verification failed: "})
    if (reason.size() > std::strlen(stage) && reason.compare(0, std::strlen(stage), stage) == 0)
      reason.erase(0, std::strlen(stage));
  for (size_t at = reason.find("error:"); at != std::string::npos; at = reason.find("error:", at)) {
    // "error:" 8 hex digits ":" library ":" function ":" then the reason.
    size_t end = at + 6;
    int fields = 0;
    while (end < reason.size() && fields < 3)
      if (reason[end++] == ':') fields++;
    if (fields < 3 || end - at < 15) {
      at += 6;
      continue;
    }
    reason.erase(at, end - at);
  }
  return make<String>(std::string_view(reason));
}

}  // namespace

bool TlsClient::init(const char* bundlePath, Ref<String>* why) {
  init();
  if (!state_->config || !bundlePath) return false;
  if (!loadBundle(state_->config, bundlePath, why)) return false;
  state_->ready = true;
  return true;
}

bool TlsClient::setupWithoutBundle(Ref<String>* why) {
  init();
  if (!state_->config) return false;
  // The library's default CA file, read as every bundle is.
  // A missing one is no fault to report: the search goes on.
  const char* file = tls_default_ca_cert_file();
  if (!file || !Files::exists(String::withCString(file)) || !loadBundle(state_->config, file, why)) return false;
  state_->ready = true;
  return true;
}

Ref<TlsConnection> TlsClient::connect(SocketIO::Handle socket, const char* host, Ref<String>* why) {
  if (!state_->ready || socket < 0 || !host) return nullptr;
  struct tls* ctx = tls_client();
  if (!ctx) return nullptr;
  // The connection owns the context from here on, and frees it on failure.
  auto connection = make<LibTlsConnection>(ctx, static_cast<int>(socket));
  if (tls_configure(ctx, state_->config) != 0 || !connection->handshake(host)) {
    if (why) *why = reasonOf(ctx);
    return nullptr;
  }
  return connection;
}

}  // namespace quorl
