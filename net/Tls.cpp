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

std::vector<TlsBundleCertificate> tlsBundleCertificates(std::string_view pem, const char* path, Ref<String>* why) {
  static constexpr std::string_view kBegin = "-----BEGIN CERTIFICATE-----", kEnd = "-----END CERTIFICATE-----";
  std::vector<TlsBundleCertificate> found;
  for (size_t at = pem.find(kBegin); at != std::string_view::npos; at = pem.find(kBegin, at)) {
    // A block cut before its END line is no certificate either.
    const size_t end = pem.find(kEnd, at + kBegin.size());
    const size_t next = end == std::string_view::npos ? pem.size() : end + kEnd.size();
    TlsBundleCertificate certificate{pem.substr(at, next - at), {}};
    at = next;
    const TlsPemFault fault = end == std::string_view::npos ? TlsPemFault::notCertificate
                                                            : tlsReadPemCertificate(certificate.pem, certificate.der);
    if (fault != TlsPemFault::none) {
      if (why)
        *why = String::withFormat(fault == TlsPemFault::trailingBytes ? "%s: block %u has bytes after its certificate"
                                                                      : "%s: block %u is not a certificate",
                                  path, static_cast<uint32_t>(found.size() + 1));
      return {};
    }
    found.push_back(std::move(certificate));
  }
  if (found.empty() && why) *why = String::withFormat("%s holds no certificate", path);
  return found;
}

}  // namespace quorl
