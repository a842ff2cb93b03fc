#include "net/HttpTls.h"

#include "foundation/Files.h"

namespace quorl {

bool _HttpTlsConn::write(const void* bytes, uint32_t length) {
  const uint8_t* b = static_cast<const uint8_t*>(bytes);
  uint32_t written = 0;
  while (written < length) {
    int32_t r = connection->write(b + written, length - written);
    if (r <= 0) return false;
    written += static_cast<uint32_t>(r) > length - written ? length - written : static_cast<uint32_t>(r);
  }
  return true;
}

int32_t _HttpTlsConn::read(void* buffer, uint32_t capacity) { return connection->read(buffer, capacity); }

void _HttpTlsConn::close() { connection->close(); }

Ref<HttpSecureConnection> _HttpTlsLayer::connect(SocketIO::Handle socket, Ptr<const String> host, Ref<String>* why) {
  Ref<TlsConnection> connection = client->connect(socket, host ? host->cString() : "", why);
  if (!connection) return nullptr;
  return make<_HttpTlsConn>(std::move(connection));
}

std::vector<std::string>& HttpTls::_systemBundles() {
  static std::vector<std::string> paths = tlsSystemBundles();
  return paths;
}

bool HttpTls::installWithBundle(Ptr<const String> path, Ref<String>* why) {
  tls_abi_1_0();
  Ref<TlsClient> client = make<TlsClient>();
  client->init();
  if (!path || !client->init(path->cString(), why)) return false;
  Http::setSecureLayer(make<_HttpTlsLayer>(std::move(client)));
  return true;
}

bool HttpTls::install(Ref<String>* why) {
  for (const std::string& path : _systemBundles()) {
    Ref<String> p = make<String>(std::string_view(path));
    if (Files::exists(p)) return installWithBundle(p, why);
  }
  return false;
}

}  // namespace quorl
