// The TLS adapter: the client's secure-layer protocols over the TLS client
// library of Tls.h, and the installation of a layer loaded with a
// certificate-authority bundle.
#pragma once

#include <string>
#include <vector>

#include "net/Http.h"
#include "net/Tls.h"

namespace quorl {

class _HttpTlsConn : public Object, public HttpSecureConnection {
 public:
  explicit _HttpTlsConn(Ref<TlsConnection> connection) : connection(std::move(connection)) {}
  const char* classNameC() const override { return "_HttpTlsConn"; }

  // Writes until every byte is taken: a TLS write may take only part of a
  // large request (one record at a time).
  bool write(const void* bytes, uint32_t length) override;
  int32_t read(void* buffer, uint32_t capacity) override;
  void close() override;

  Ref<TlsConnection> connection;
};

class _HttpTlsLayer : public Object, public HttpSecureLayer {
 public:
  explicit _HttpTlsLayer(Ref<TlsClient> client) : client(std::move(client)) {}
  const char* classNameC() const override { return "_HttpTlsLayer"; }

  Ref<HttpSecureConnection> connect(SocketIO::Handle socket, Ptr<const String> host, Ref<String>* why) override;

  Ref<TlsClient> client;
};

class HttpTls final : public Object {
 public:
  HttpTls() = delete;
  const char* classNameC() const override { return "HttpTls"; }

  // Installs a layer loaded from the first system bundle that exists; that
  // bundle's result is final. False, with nothing called, when none exists.
  static bool install(Ref<String>* why = nullptr);
  // Installs a layer loaded from the bundle at the path; a bundle that does
  // not load leaves the installed layer as it was, and says why in `why`
  // ("cacert.pem holds no certificate").
  static bool installWithBundle(Ptr<const String> path, Ref<String>* why = nullptr);

  // The system bundle paths, in the order install tries them (none on
  // Windows, see tlsSystemBundles).
  static std::vector<std::string>& _systemBundles();
};

}  // namespace quorl
