// TlsClient over libtls (LibreSSL's API, here over OpenSSL).
#include "net/Tls.h"

#include <tls.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>

namespace quorl {

int32_t tls_abi_1_0() { return 1; }

namespace {

// libtls runs OpenSSL without automatic retries, so even on a blocking
// socket it answers TLS_WANT_POLLIN/POLLOUT when it only handled a record
// that carried no data (a TLS 1.3 session ticket, say), as well as when the
// socket's time-out ran out. Waiting for the socket with that same time-out
// tells the two apart: a socket that stays silent for it has timed out.
int socketTimeoutMs(int fd, int option) {
  timeval tv{};
  socklen_t length = sizeof tv;
  if (getsockopt(fd, SOL_SOCKET, option, &tv, &length) != 0) return -1;
  if (tv.tv_sec == 0 && tv.tv_usec == 0) return -1;  // none: wait as long as it takes
  return static_cast<int>(tv.tv_sec * 1000 + tv.tv_usec / 1000);
}

template <class Call> ssize_t retrying(int fd, Call call) {
  for (int attempt = 0; attempt < 1024; attempt++) {
    ssize_t r = call();
    if (r != TLS_WANT_POLLIN && r != TLS_WANT_POLLOUT) return r;
    const bool in = r == TLS_WANT_POLLIN;
    pollfd p{fd, static_cast<short>(in ? POLLIN : POLLOUT), 0};
    const int timeout = socketTimeoutMs(fd, in ? SO_RCVTIMEO : SO_SNDTIMEO);
    int ready;
    do ready = poll(&p, 1, timeout);
    while (ready < 0 && errno == EINTR);
    if (ready <= 0) return -1;
  }
  return -1;
}

class LibTlsConnection final : public TlsConnection {
 public:
  LibTlsConnection(struct tls* ctx, int fd) : ctx_(ctx), fd_(fd) {}
  ~LibTlsConnection() override {
    if (ctx_) tls_free(ctx_);
  }
  const char* classNameC() const override { return "TlsConnection"; }

  void close() override {
    if (ctx_ && !closed_) tls_close(ctx_);
    closed_ = true;
  }

  int32_t read(void* buffer, uint32_t capacity) override {
    if (!ctx_ || closed_) return -1;
    if (capacity > 0x7FFFFFFFu) capacity = 0x7FFFFFFFu;
    ssize_t r = retrying(fd_, [&] { return tls_read(ctx_, buffer, capacity); });
    return r < 0 ? -1 : static_cast<int32_t>(r);
  }

  int32_t write(const void* bytes, uint32_t length) override {
    if (!ctx_ || closed_) return -1;
    if (length > 0x7FFFFFFFu) length = 0x7FFFFFFFu;
    ssize_t r = retrying(fd_, [&] { return tls_write(ctx_, bytes, length); });
    return r <= 0 ? -1 : static_cast<int32_t>(r);
  }

 private:
  struct tls* ctx_;
  int fd_;
  bool closed_ = false;
};

}  // namespace

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

// tls_configure is where libtls parses the CA data; a bundle that does not
// parse (or holds no certificate) only shows up there.
bool configures(struct tls_config* config) {
  struct tls* probe = tls_client();
  if (!probe) return false;
  bool ok = tls_configure(probe, config) == 0;
  tls_free(probe);
  return ok;
}

bool holdsCertificate(const uint8_t* bytes, size_t length) {
  static const char kBegin[] = "-----BEGIN CERTIFICATE-----";
  const size_t m = sizeof kBegin - 1;
  for (size_t i = 0; i + m <= length; i++)
    if (std::memcmp(bytes + i, kBegin, m) == 0) return true;
  return false;
}

}  // namespace

bool TlsClient::init(const char* bundlePath) {
  init();
  if (!state_->config || !bundlePath) return false;
  size_t length = 0;
  uint8_t* bytes = tls_load_file(bundlePath, &length, nullptr);
  if (!bytes) return false;
  bool ok = holdsCertificate(bytes, length) && tls_config_set_ca_mem(state_->config, bytes, length) == 0;
  tls_unload_file(bytes, length);
  if (!ok || !configures(state_->config)) return false;
  state_->ready = true;
  return true;
}

bool TlsClient::setupWithoutBundle() {
  init();
  if (!state_->config) return false;
  // A fresh libtls configuration trusts the library's default CA file.
  const char* file = tls_default_ca_cert_file();
  if (!file || tls_config_set_ca_file(state_->config, file) != 0) return false;
  if (!configures(state_->config)) return false;
  state_->ready = true;
  return true;
}

Ref<TlsConnection> TlsClient::connect(SocketIO::Handle socket, const char* host) {
  if (!state_->ready || socket < 0 || !host) return nullptr;
  struct tls* ctx = tls_client();
  if (!ctx) return nullptr;
  if (tls_configure(ctx, state_->config) != 0 || tls_connect_socket(ctx, static_cast<int>(socket), host) != 0 ||
      retrying(static_cast<int>(socket), [&] { return static_cast<ssize_t>(tls_handshake(ctx)); }) != 0) {
    tls_free(ctx);
    return nullptr;
  }
  return make<LibTlsConnection>(ctx, static_cast<int>(socket));
}

}  // namespace quorl
