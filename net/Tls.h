// The TLS client library under the HTTPS adapter (HttpTls.h): a client
// that is loaded with a certificate-authority bundle, or set up with the
// platform's own trust store, and makes verified connections over an
// already connected socket.
//
// Natively it stands on libtls (Tls.posix.cpp); on Windows on Schannel
// (Tls.win32.cpp), whose own set-up trusts the system's root store.
// Certificates and host names are verified on both.
//
// A failed set-up or handshake says why in `why` when the caller asks, in
// the library's words ("certificate has expired") or, for a bundle file,
// naming it ("cacert.pem: block 2 is not a certificate").
//
// Every operation (the handshake, one read, one write, the close notice)
// ends within the socket's time-outs as they stand when it starts, counted
// once for the whole operation however many records it moves: the HTTP
// client bounds each step, and the handshake as a whole, by setting them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/Object.h"
#include "foundation/String.h"
#include "net/Socket.h"

namespace quorl {

// The library's ABI patch level; 1 and up means TlsClient::setupWithoutBundle
// is offered.
int32_t tls_abi_1_0();

// The system's own bundle files, in the order they are tried. None on
// Windows: a rooted path there names a folder on the current drive, which
// any local user may create, so the system's store is trusted instead.
std::vector<std::string> tlsSystemBundles();

// The bytes of a bundle file, read as every file is (a regular file only,
// opened without waiting, at most kMaxBundleBytes); none with the reason,
// which names the path ("cacert.pem is a folder", "... is empty").
constexpr uint64_t kMaxBundleBytes = 16u << 20;
Ref<String> tlsReadBundle(const char* path, Ref<String>* why);

// One certificate of a bundle: its PEM block, from its BEGIN line through
// its END line, and the DER bytes the platform decoded from it.
struct TlsBundleCertificate {
  std::string_view pem;
  std::string der;
};
// How the platform's own X.509 reader takes one PEM block: as one whole
// certificate (its DER bytes in `der`), as no certificate at all, or as a
// certificate followed by bytes that belong to none.
enum class TlsPemFault { none, notCertificate, trailingBytes };
TlsPemFault tlsReadPemCertificate(std::string_view block, std::string& der);
// The certificates of a bundle's text, each of its CERTIFICATE blocks read by
// tlsReadPemCertificate; text between the blocks and blocks of other kinds
// are left out. Empty, with the reason naming the path, when the text holds
// no such block ("cacert.pem holds no certificate") or when one of them is
// not a whole certificate ("cacert.pem: block 2 is not a certificate",
// "... has bytes after its certificate"): a bundle is taken whole or not
// at all.
std::vector<TlsBundleCertificate> tlsBundleCertificates(std::string_view pem, const char* path, Ref<String>* why);

// One TLS session over a socket that its caller owns and closes afterwards.
class TlsConnection : public Object {
 public:
  const char* classNameC() const override { return "TlsConnection"; }
  // Ends the session (sends the close notice); the socket stays open.
  virtual void close() = 0;
  // More than 0 bytes of plain text read, 0 at the end of the stream, below 0
  // on failure or time-out.
  virtual int32_t read(void* buffer, uint32_t capacity) = 0;
  // The count of bytes taken, at least 1, which may be fewer than the length;
  // below 0 on failure or time-out.
  virtual int32_t write(const void* bytes, uint32_t length) = 0;
};

class TlsClient : public Object {
 public:
  TlsClient();
  ~TlsClient() override;
  const char* classNameC() const override { return "TlsClient"; }

  // Always called first on a fresh client.
  void init();
  // Loads the certificate-authority bundle (PEM) at the UTF-8 path, read by
  // tlsReadBundle; true when its certificates (tlsBundleCertificates) loaded.
  bool init(const char* bundlePath, Ref<String>* why = nullptr);
  // Trusts the platform's own store instead of a bundle file; true when the
  // client can be used so.
  bool setupWithoutBundle(Ref<String>* why = nullptr);
  // Handshake on the connected socket for the host name, with the
  // certificate chain and the name verified; none on any failure.
  Ref<TlsConnection> connect(SocketIO::Handle socket, const char* host, Ref<String>* why = nullptr);

  struct State;

 private:
  std::unique_ptr<State> state_;
};

}  // namespace quorl
