// TlsClient over Schannel (secur32) with the certificate checks of crypt32.
//
// Sections:
//   1. Reading a bundle's certificates
//   2. The server's certificate: chain and host-name verification, and the
//      ECDSA signatures crypt32 refused checked again
//   3. SchannelConnection: handshake, read, write, close
//   4. TlsClient
//
// Schannel runs with manual validation: the chain is built and checked here
// after the handshake, against the bundle's authorities when the client was
// loaded with one, else against the system's root store. Either way the
// host name must match the certificate.
#include "net/Tls.h"

#include "foundation/String.h"

#include <winsock2.h>
#include <windows.h>
#define SECURITY_WIN32
#include <schannel.h>
#include <security.h>
#include <wincrypt.h>
#include <bcrypt.h>

#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "foundation/WideText.h"

namespace quorl {

int32_t tls_abi_1_0() { return 1; }

// A rooted path without a drive ("/etc/ssl/cert.pem") names a folder on the
// current drive, which any local user may create: no bundle is ever read
// from one. The system's store is what the client trusts.
std::vector<std::string> tlsSystemBundles() { return {}; }

namespace {

constexpr DWORD kIgnoreUnknownCa = 0x00000100;  // SECURITY_FLAG_IGNORE_UNKNOWN_CA
constexpr uint8_t kAlertRecord = 21;             // TLS record content type

// ---------------------------------------------------------------------------
// 1. Reading a bundle's certificates

// The length of the DER frame at the start of the bytes (its tag, its
// length octets and its contents), 0 when no whole frame is there.
size_t derFrameLength(const std::string& der) {
  if (der.size() < 2) return 0;
  const uint8_t first = static_cast<uint8_t>(der[1]);
  size_t header = 2, length = first;
  if (first & 0x80) {
    const size_t octets = first & 0x7F;
    if (octets == 0 || octets > 4 || der.size() < 2 + octets) return 0;
    length = 0;
    for (size_t i = 0; i < octets; i++) length = length << 8 | static_cast<uint8_t>(der[2 + i]);
    header += octets;
  }
  return header + length <= der.size() ? header + length : 0;
}

}  // namespace

// crypt32's own base64 and X.509 readers. CertCreateCertificateContext
// keeps whatever bytes it was given, so the certificate's own frame must
// end where they do.
TlsPemFault tlsReadPemCertificate(std::string_view block, std::string& der) {
  der.clear();
  if (block.size() > 0x7FFFFFFFu) return TlsPemFault::notCertificate;
  // The block is base64 text with its header lines; it holds no path or
  // user text, so the narrow call sees only ASCII.
  const DWORD blockLength = static_cast<DWORD>(block.size());
  DWORD length = 0;
  if (!CryptStringToBinaryA(block.data(), blockLength, CRYPT_STRING_BASE64HEADER, nullptr, &length, nullptr, nullptr))
    return TlsPemFault::notCertificate;
  der.resize(length);
  if (!CryptStringToBinaryA(block.data(), blockLength, CRYPT_STRING_BASE64HEADER, reinterpret_cast<BYTE*>(der.data()),
                            &length, nullptr, nullptr)) {
    der.clear();
    return TlsPemFault::notCertificate;
  }
  der.resize(length);
  PCCERT_CONTEXT certificate = CertCreateCertificateContext(
      X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()), static_cast<DWORD>(der.size()));
  if (!certificate) {
    der.clear();
    return TlsPemFault::notCertificate;
  }
  CertFreeCertificateContext(certificate);
  if (derFrameLength(der) == der.size()) return TlsPemFault::none;
  der.clear();
  return TlsPemFault::trailingBytes;
}

namespace {

// ---------------------------------------------------------------------------
// 2. Verification of the server's certificate

// Wine's crypt32 refuses an ECDSA signature one of whose integers is shorter
// than the key once its leading zero bytes are dropped (one signature in
// 128), whichever certificate of the chain carries it: "certificate
// signature failure" for a sound chain. Each signature the chain refused is
// therefore verified again here with the system's own primitives: the signed
// part hashed as its algorithm says, r and s each widened to the key's size.
// Any other algorithm, or any fault on the way, leaves the refusal standing.

// The hash of an ECDSA signature algorithm; none for any other.
const wchar_t* ecdsaHash(const char* oid) {
  if (!oid) return nullptr;
  if (std::strcmp(oid, szOID_ECDSA_SHA256) == 0) return BCRYPT_SHA256_ALGORITHM;
  if (std::strcmp(oid, szOID_ECDSA_SHA384) == 0) return BCRYPT_SHA384_ALGORITHM;
  if (std::strcmp(oid, szOID_ECDSA_SHA512) == 0) return BCRYPT_SHA512_ALGORITHM;
  return nullptr;
}

// What crypt32 decoded with CRYPT_DECODE_ALLOC_FLAG, freed with LocalFree.
template <typename T>
struct Decoded {
  T* value = nullptr;
  ~Decoded() {
    if (value) LocalFree(value);
  }
  bool decode(const char* type, const BYTE* bytes, DWORD length) {
    DWORD size = 0;
    return CryptDecodeObjectEx(X509_ASN_ENCODING, type, bytes, length, CRYPT_DECODE_ALLOC_FLAG, nullptr, &value, &size) &&
           value;
  }
};

// The integer, little-endian as crypt32 gives it, written big-endian into
// the `size` bytes at `out`; false when it does not fit.
bool widen(const CRYPT_UINT_BLOB& integer, BYTE* out, DWORD size) {
  DWORD n = integer.cbData;
  while (n > 0 && integer.pbData[n - 1] == 0) n--;
  if (n > size) return false;
  for (DWORD k = 0; k < n; k++) out[size - 1 - k] = integer.pbData[k];
  return true;
}

bool ecdsaSignatureHolds(PCCERT_CONTEXT subject, PCCERT_CONTEXT issuer) {
  Decoded<CERT_SIGNED_CONTENT_INFO> content;
  if (!content.decode(X509_CERT, subject->pbCertEncoded, subject->cbCertEncoded)) return false;
  const char* algorithm = content.value->SignatureAlgorithm.pszObjId;
  const char* named = subject->pCertInfo->SignatureAlgorithm.pszObjId;  // the one the signed part names
  const char* keyKind = issuer->pCertInfo->SubjectPublicKeyInfo.Algorithm.pszObjId;
  const wchar_t* hashName = ecdsaHash(algorithm);
  if (!hashName || !named || std::strcmp(algorithm, named) != 0 || !keyKind ||
      std::strcmp(keyKind, szOID_ECC_PUBLIC_KEY) != 0)
    return false;
  // crypt32 gives a signature's bytes last first.
  const CRYPT_BIT_BLOB& bits = content.value->Signature;
  const std::vector<BYTE> signature(std::make_reverse_iterator(bits.pbData + bits.cbData),
                                    std::make_reverse_iterator(bits.pbData));
  Decoded<CERT_ECC_SIGNATURE> ecc;
  if (!ecc.decode(X509_ECC_SIGNATURE, signature.data(), static_cast<DWORD>(signature.size()))) return false;
  BCRYPT_KEY_HANDLE key = nullptr;
  if (!CryptImportPublicKeyInfoEx2(X509_ASN_ENCODING, &issuer->pCertInfo->SubjectPublicKeyInfo, 0, nullptr, &key))
    return false;
  // The key's size from its point, uncompressed: 4, then x and y of that size.
  const CRYPT_BIT_BLOB& point = issuer->pCertInfo->SubjectPublicKeyInfo.PublicKey;
  bool holds = false;
  if (point.cbData >= 3 && point.cbData % 2 == 1 && point.cbData <= 257 && point.pbData[0] == 4) {
    const DWORD size = (point.cbData - 1) / 2;
    std::vector<BYTE> rs(2 * size, 0);
    BYTE hash[64];
    DWORD hashLength = sizeof hash;
    holds = widen(ecc.value->r, rs.data(), size) && widen(ecc.value->s, rs.data() + size, size) &&
            CryptHashCertificate2(hashName, 0, nullptr, content.value->ToBeSigned.pbData,
                                  content.value->ToBeSigned.cbData, hash, &hashLength) &&
            BCryptVerifySignature(key, nullptr, hash, hashLength, rs.data(), static_cast<ULONG>(rs.size()), 0) == 0;
  }
  BCryptDestroyKey(key);
  return holds;
}

// Whether the chain refused a signature and each it refused holds when
// checked here: its issuer the next certificate of its chain, or the root
// itself when it issued itself.
bool refusedSignaturesHold(PCCERT_CHAIN_CONTEXT chain) {
  bool refused = false;
  for (DWORD c = 0; c < chain->cChain; c++) {
    const CERT_SIMPLE_CHAIN* simple = chain->rgpChain[c];
    for (DWORD e = 0; e < simple->cElement; e++) {
      const CERT_CHAIN_ELEMENT* element = simple->rgpElement[e];
      if (!(element->TrustStatus.dwErrorStatus & CERT_TRUST_IS_NOT_SIGNATURE_VALID)) continue;
      refused = true;
      PCCERT_CONTEXT subject = element->pCertContext;
      PCCERT_CONTEXT issuer = e + 1 < simple->cElement ? simple->rgpElement[e + 1]->pCertContext
                              : CertCompareCertificateName(X509_ASN_ENCODING, &subject->pCertInfo->Issuer,
                                                           &subject->pCertInfo->Subject)
                                  ? subject
                                  : nullptr;
      if (!issuer || !ecdsaSignatureHolds(subject, issuer)) return false;
    }
  }
  return refused;
}

// The chain as crypt32 built it, or, when the signatures it refused hold, a
// copy of its description without that fault, for the faults and the policy
// check alike. The copy points at the chain's own certificates.
class CheckedChain {
 public:
  explicit CheckedChain(PCCERT_CHAIN_CONTEXT chain) : chain_(chain) {
    if (!chain || !(chain->TrustStatus.dwErrorStatus & CERT_TRUST_IS_NOT_SIGNATURE_VALID) ||
        !refusedSignaturesHold(chain))
      return;
    copy_ = *chain;
    copy_.TrustStatus.dwErrorStatus &= ~CERT_TRUST_IS_NOT_SIGNATURE_VALID;
    copy_.cLowerQualityChainContext = 0;
    copy_.rgpLowerQualityChainContext = nullptr;
    simples_.resize(chain->cChain);
    elements_.resize(chain->cChain);
    elementPointers_.resize(chain->cChain);
    for (DWORD c = 0; c < chain->cChain; c++) {
      simples_[c] = *chain->rgpChain[c];
      simples_[c].TrustStatus.dwErrorStatus &= ~CERT_TRUST_IS_NOT_SIGNATURE_VALID;
      for (DWORD e = 0; e < simples_[c].cElement; e++) elements_[c].push_back(*chain->rgpChain[c]->rgpElement[e]);
      for (CERT_CHAIN_ELEMENT& element : elements_[c]) {
        element.TrustStatus.dwErrorStatus &= ~CERT_TRUST_IS_NOT_SIGNATURE_VALID;
        elementPointers_[c].push_back(&element);
      }
      simples_[c].rgpElement = elementPointers_[c].data();
      simplePointers_.push_back(&simples_[c]);
    }
    copy_.rgpChain = simplePointers_.data();
    chain_ = &copy_;
  }
  CheckedChain(const CheckedChain&) = delete;
  CheckedChain& operator=(const CheckedChain&) = delete;
  PCCERT_CHAIN_CONTEXT get() const { return chain_; }

 private:
  PCCERT_CHAIN_CONTEXT chain_;
  CERT_CHAIN_CONTEXT copy_{};
  std::vector<CERT_SIMPLE_CHAIN> simples_;
  std::vector<PCERT_SIMPLE_CHAIN> simplePointers_;
  std::vector<std::vector<CERT_CHAIN_ELEMENT>> elements_;
  std::vector<std::vector<PCERT_CHAIN_ELEMENT>> elementPointers_;
};

// The words for a certificate of the chain outside its validity period,
// the one nearest the root first, as the native build's library checks
// them: a certificate whose time has not yet come has not expired.
const char* validityFault(PCCERT_CHAIN_CONTEXT chain) {
  for (DWORD c = chain ? chain->cChain : 0; c-- > 0;) {
    const CERT_SIMPLE_CHAIN* simple = chain->rgpChain[c];
    for (DWORD e = simple->cElement; e-- > 0;) {
      const CERT_CHAIN_ELEMENT* element = simple->rgpElement[e];
      if (!(element->TrustStatus.dwErrorStatus & CERT_TRUST_IS_NOT_TIME_VALID)) continue;
      if (CertVerifyTimeValidity(nullptr, element->pCertContext->pCertInfo) < 0) return "certificate is not yet valid";
      return "certificate has expired";
    }
  }
  return "certificate has expired";
}

// The words for a chain's faults, the first that applies; the same words
// as the native build's library where it has them.
const char* chainFault(DWORD status, PCCERT_CHAIN_CONTEXT chain) {
  if (status & CERT_TRUST_IS_NOT_TIME_VALID) return validityFault(chain);
  if (status & CERT_TRUST_IS_REVOKED) return "certificate revoked";
  if (status & (CERT_TRUST_IS_UNTRUSTED_ROOT | CERT_TRUST_IS_PARTIAL_CHAIN))
    return "unable to get local issuer certificate";
  if (status & CERT_TRUST_IS_NOT_SIGNATURE_VALID) return "certificate signature failure";
  if (status & CERT_TRUST_IS_NOT_VALID_FOR_USAGE) return "unsupported certificate purpose";
  return "certificate verify failed";
}

// The words for a failed policy check (CERT_E_* codes).
std::string policyFault(DWORD error, const std::wstring& host, PCCERT_CHAIN_CONTEXT chain) {
  switch (error) {
    case static_cast<DWORD>(CERT_E_EXPIRED):
      return validityFault(chain);
    case static_cast<DWORD>(CERT_E_UNTRUSTEDROOT):
    case static_cast<DWORD>(CERT_E_CHAINING):
      return "unable to get local issuer certificate";
    case static_cast<DWORD>(CERT_E_CN_NO_MATCH):
      return "name `" + WideText::utf8(host.c_str()) + "' not present in server certificate";
    case static_cast<DWORD>(CERT_E_WRONG_USAGE):
      return "unsupported certificate purpose";
  }
  char text[48];
  std::snprintf(text, sizeof text, "certificate verify failed (0x%08lX)", static_cast<unsigned long>(error));
  return text;
}

bool verifyServer(PCCERT_CONTEXT server, HCERTSTORE bundle, const std::wstring& host, std::string& why) {
  why = "certificate verify failed";
  HCERTSTORE extra = CertOpenStore(CERT_STORE_PROV_COLLECTION, 0, 0, 0, nullptr);
  if (!extra) return false;
  if (server->hCertStore) CertAddStoreToCollection(extra, server->hCertStore, 0, 0);
  if (bundle) CertAddStoreToCollection(extra, bundle, 0, 0);

  CERT_CHAIN_PARA chainPara{};
  chainPara.cbSize = sizeof chainPara;
  LPSTR usages[] = {const_cast<LPSTR>(szOID_PKIX_KP_SERVER_AUTH)};
  chainPara.RequestedUsage.dwType = USAGE_MATCH_TYPE_OR;
  chainPara.RequestedUsage.Usage.cUsageIdentifier = 1;
  chainPara.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
  PCCERT_CHAIN_CONTEXT built = nullptr;
  bool ok = CertGetCertificateChain(nullptr, server, nullptr, extra, &chainPara, 0, nullptr, &built) && built;
  const CheckedChain checked(ok ? built : nullptr);
  PCCERT_CHAIN_CONTEXT chain = checked.get();
  // Revocation is not asked for; every other fault of the chain counts, and
  // is tested here too since not every SSL policy check looks at all of them
  // (Wine's passes a chain that does not reach a root).
  const DWORD revocation = CERT_TRUST_REVOCATION_STATUS_UNKNOWN | CERT_TRUST_IS_OFFLINE_REVOCATION;
  if (ok && !bundle) {
    const DWORD faults = chain->TrustStatus.dwErrorStatus & ~revocation;
    ok = faults == 0;
    if (!ok) why = chainFault(faults, chain);
  }
  if (ok && bundle) {
    // The chain must end in one of the bundle's authorities, and have no
    // fault besides that root being unknown to the system.
    const DWORD tolerated = CERT_TRUST_IS_UNTRUSTED_ROOT | revocation;
    const DWORD faults = chain->TrustStatus.dwErrorStatus & ~tolerated;
    ok = chain->cChain >= 1 && chain->rgpChain[0]->cElement >= 1 && faults == 0;
    if (!ok) why = chainFault(faults, chain);
    if (ok) {
      PCERT_SIMPLE_CHAIN simple = chain->rgpChain[0];
      PCCERT_CONTEXT root = simple->rgpElement[simple->cElement - 1]->pCertContext;
      PCCERT_CONTEXT found = CertFindCertificateInStore(bundle, X509_ASN_ENCODING, 0, CERT_FIND_EXISTING, root, nullptr);
      ok = found != nullptr;
      if (found) CertFreeCertificateContext(found);
      if (!ok) why = chainFault(CERT_TRUST_IS_UNTRUSTED_ROOT, chain);
    }
  }
  if (ok) {
    HTTPSPolicyCallbackData https{};
    https.cbStruct = sizeof https;
    https.dwAuthType = AUTHTYPE_SERVER;
    https.fdwChecks = bundle ? kIgnoreUnknownCa : 0;
    https.pwszServerName = const_cast<wchar_t*>(host.c_str());
    CERT_CHAIN_POLICY_PARA policy{};
    policy.cbSize = sizeof policy;
    policy.pvExtraPolicyPara = &https;
    CERT_CHAIN_POLICY_STATUS status{};
    status.cbSize = sizeof status;
    ok = CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain, &policy, &status) && status.dwError == 0;
    if (!ok) why = policyFault(status.dwError, host, chain);
  }
  if (built) CertFreeCertificateChain(built);
  CertCloseStore(extra, 0);
  return ok;
}

// ---------------------------------------------------------------------------
// 3. One Schannel session over a connected socket

constexpr DWORD kContextFlags = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT | ISC_REQ_CONFIDENTIALITY |
                                ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM | ISC_REQ_MANUAL_CRED_VALIDATION;

// Every operation of a session (the handshake, one read, one write, the
// close notice) ends within the socket's own time-out, counted once from the
// operation's start (SocketIO::Budget): the HTTP client shortens those
// time-outs as its deadline nears and relies on no operation outlasting
// them. Each receive and send first waits with what is left, so a peer that
// sends a byte now and then cannot stretch an operation by a full time-out
// per call.
bool sendAllRaw(SocketIO::Handle socket, const SocketIO::Budget& budget, const void* bytes, size_t length) {
  const char* b = static_cast<const char*>(bytes);
  while (length > 0) {
    if (!budget.wait(socket, true)) return false;
    uint32_t piece = length > 0x40000000u ? 0x40000000u : static_cast<uint32_t>(length);
    int32_t r = SocketIO::send(socket, b, piece);
    if (r <= 0) return false;
    b += r;
    length -= static_cast<size_t>(r);
  }
  return true;
}

// Sends a token Schannel allocated, then frees it.
bool sendToken(SocketIO::Handle socket, const SocketIO::Budget& budget, SecBuffer& token) {
  bool ok = true;
  if (token.pvBuffer && token.cbBuffer > 0) ok = sendAllRaw(socket, budget, token.pvBuffer, token.cbBuffer);
  if (token.pvBuffer) FreeContextBuffer(token.pvBuffer);
  token.pvBuffer = nullptr;
  token.cbBuffer = 0;
  return ok;
}

class SchannelConnection final : public TlsConnection {
 public:
  SchannelConnection(Ref<Object> owner, SocketIO::Handle socket, CredHandle* credentials, std::wstring host)
      : owner_(std::move(owner)), socket_(socket), credentials_(credentials), host_(std::move(host)) {}
  ~SchannelConnection() override {
    if (haveContext_) DeleteSecurityContext(&context_);
  }
  const char* classNameC() const override { return "TlsConnection"; }

  // False with the reason in `why`.
  bool handshake(std::string& why);
  PCCERT_CONTEXT serverCertificate();

  void close() override;
  int32_t read(void* buffer, uint32_t capacity) override;
  int32_t write(const void* bytes, uint32_t length) override;

 private:
  // Appends what one receive brings; its count as SocketIO::receive gives it.
  int32_t receiveMore();

  Ref<Object> owner_;  // the client, whose credentials the session uses
  SocketIO::Handle socket_;
  CredHandle* credentials_;
  std::wstring host_;
  CtxtHandle context_{};
  bool haveContext_ = false;
  bool closed_ = false;
  bool ended_ = false;
  SecPkgContext_StreamSizes sizes_{};
  std::vector<char> incoming_;  // encrypted bytes not yet decrypted
  std::vector<char> plain_;     // decrypted bytes not yet handed out
  size_t plainAt_ = 0;
  SocketIO::Budget budget_;  // the time of the operation under way
};

int32_t SchannelConnection::receiveMore() {
  char buffer[16384 + 512];
  if (!budget_.wait(socket_, false)) return -1;
  int32_t r = SocketIO::receive(socket_, buffer, sizeof buffer);
  if (r > 0) incoming_.insert(incoming_.end(), buffer, buffer + r);
  return r;
}

// The words for a handshake that Schannel refused, in the native build's
// words where the bytes in the clear show the cause: an alert the server
// sent before any key was agreed, or a server hello that chose a protocol
// older than TLS 1.2 (some Schannels offer older ones and refuse the
// answer with an internal error).
std::string handshakeFault(SECURITY_STATUS status, const std::vector<char>& incoming) {
  constexpr uint8_t kHandshakeRecord = 22, kServerHello = 2;
  if (incoming.size() >= 11 && static_cast<uint8_t>(incoming[0]) == kHandshakeRecord &&
      static_cast<uint8_t>(incoming[5]) == kServerHello &&
      (static_cast<uint8_t>(incoming[9]) << 8 | static_cast<uint8_t>(incoming[10])) < 0x0303)
    return "unsupported protocol";
  if (incoming.size() >= 7 && static_cast<uint8_t>(incoming[0]) == kAlertRecord && incoming[5] == 2) {
    switch (static_cast<uint8_t>(incoming[6])) {
      case 40: return "sslv3 alert handshake failure";
      case 70: return "tlsv1 alert protocol version";
      case 71: return "tlsv1 alert insufficient security";
      case 80: return "tlsv1 alert internal error";
      case 112: return "tlsv1 unrecognized name";
    }
  }
  switch (status) {
    case SEC_E_ALGORITHM_MISMATCH:
    case SEC_E_UNSUPPORTED_FUNCTION:
      return "no protocol version or cipher in common with the server";
    case SEC_E_ILLEGAL_MESSAGE:
      return "the server sent an alert or a malformed message";
    case SEC_E_MESSAGE_ALTERED:
    case SEC_E_DECRYPT_FAILURE:
      return "a handshake message was altered";
  }
  char text[48];
  std::snprintf(text, sizeof text, "Schannel error 0x%08lX", static_cast<unsigned long>(status));
  return text;
}

bool SchannelConnection::handshake(std::string& why) {
  why = "the server closed the connection";
  budget_.start(socket_, true, true);
  SecBuffer out{0, SECBUFFER_TOKEN, nullptr};
  SecBufferDesc outDesc{SECBUFFER_VERSION, 1, &out};
  ULONG attributes = 0;
  SECURITY_STATUS status =
      InitializeSecurityContextW(credentials_, nullptr, const_cast<wchar_t*>(host_.c_str()), kContextFlags, 0, 0,
                                 nullptr, 0, &context_, &outDesc, &attributes, nullptr);
  if (status != SEC_I_CONTINUE_NEEDED) {
    why = handshakeFault(status, incoming_);
    return false;
  }
  haveContext_ = true;
  if (!sendToken(socket_, budget_, out)) return false;

  bool needInput = true;
  for (;;) {
    if (needInput && receiveMore() <= 0) return false;
    SecBuffer in[2] = {{static_cast<unsigned long>(incoming_.size()), SECBUFFER_TOKEN, incoming_.data()},
                       {0, SECBUFFER_EMPTY, nullptr}};
    SecBufferDesc inDesc{SECBUFFER_VERSION, 2, in};
    out = SecBuffer{0, SECBUFFER_TOKEN, nullptr};
    outDesc = SecBufferDesc{SECBUFFER_VERSION, 1, &out};
    status = InitializeSecurityContextW(credentials_, &context_, const_cast<wchar_t*>(host_.c_str()), kContextFlags,
                                        0, 0, &inDesc, 0, nullptr, &outDesc, &attributes, nullptr);
    if (status == SEC_E_INCOMPLETE_MESSAGE) {
      needInput = true;
      continue;
    }
    if (!sendToken(socket_, budget_, out)) return false;
    if (status != SEC_E_OK && status != SEC_I_CONTINUE_NEEDED) {
      why = handshakeFault(status, incoming_);
      return false;
    }
    if (in[1].BufferType == SECBUFFER_EXTRA && in[1].cbBuffer > 0) {
      incoming_.erase(incoming_.begin(), incoming_.end() - in[1].cbBuffer);
      needInput = false;
    } else {
      incoming_.clear();
      needInput = true;
    }
    if (status == SEC_E_OK) break;
  }
  return QueryContextAttributesW(&context_, SECPKG_ATTR_STREAM_SIZES, &sizes_) == SEC_E_OK;
}

PCCERT_CONTEXT SchannelConnection::serverCertificate() {
  PCCERT_CONTEXT certificate = nullptr;
  if (QueryContextAttributesW(&context_, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &certificate) != SEC_E_OK) return nullptr;
  return certificate;
}

int32_t SchannelConnection::read(void* buffer, uint32_t capacity) {
  if (closed_) return -1;
  if (capacity > 0x7FFFFFFFu) capacity = 0x7FFFFFFFu;
  budget_.start(socket_, true, false);
  while (plainAt_ >= plain_.size()) {
    plain_.clear();
    plainAt_ = 0;
    if (ended_) return 0;
    // Only the server's close notice ends the stream: a TCP close before
    // it, which anyone on the path can send, is a failure, after which the
    // HTTP layer keeps only a reply whose own framing had ended.
    if (incoming_.empty() && receiveMore() <= 0) return -1;
    SecBuffer buffers[4] = {{static_cast<unsigned long>(incoming_.size()), SECBUFFER_DATA, incoming_.data()},
                            {0, SECBUFFER_EMPTY, nullptr},
                            {0, SECBUFFER_EMPTY, nullptr},
                            {0, SECBUFFER_EMPTY, nullptr}};
    SecBufferDesc desc{SECBUFFER_VERSION, 4, buffers};
    // The record type stands in clear before the record is decrypted.
    const bool alert = static_cast<uint8_t>(incoming_[0]) == kAlertRecord;
    SECURITY_STATUS status = DecryptMessage(&context_, &desc, 0, nullptr);
    if (status == SEC_E_INCOMPLETE_MESSAGE) {
      if (receiveMore() <= 0) return -1;  // the stream ended inside a record
      continue;
    }
    if (status == SEC_I_CONTEXT_EXPIRED) {
      ended_ = true;
      incoming_.clear();
      return 0;
    }
    if (status != SEC_E_OK) return -1;
    std::vector<char> extra;
    bool data = false;
    for (SecBuffer& b : buffers) {
      if (b.BufferType == SECBUFFER_DATA && b.cbBuffer > 0) data = true;
      if (b.BufferType == SECBUFFER_DATA && b.cbBuffer > 0)
        plain_.assign(static_cast<char*>(b.pvBuffer), static_cast<char*>(b.pvBuffer) + b.cbBuffer);
      if (b.BufferType == SECBUFFER_EXTRA && b.cbBuffer > 0)
        extra.assign(static_cast<char*>(b.pvBuffer), static_cast<char*>(b.pvBuffer) + b.cbBuffer);
    }
    incoming_.swap(extra);
    // Some Schannels (Wine's) answer a close notice with an empty success
    // instead of SEC_I_CONTEXT_EXPIRED; fatal alerts fail above.
    if (alert && !data) {
      ended_ = true;
      incoming_.clear();
      return 0;
    }
  }
  size_t n = plain_.size() - plainAt_;
  if (n > capacity) n = capacity;
  std::memcpy(buffer, plain_.data() + plainAt_, n);
  plainAt_ += n;
  return static_cast<int32_t>(n);
}

int32_t SchannelConnection::write(const void* bytes, uint32_t length) {
  if (closed_ || length == 0) return -1;
  uint32_t piece = length < sizes_.cbMaximumMessage ? length : sizes_.cbMaximumMessage;
  std::vector<char> record(sizes_.cbHeader + piece + sizes_.cbTrailer);
  std::memcpy(record.data() + sizes_.cbHeader, bytes, piece);
  SecBuffer buffers[4] = {{sizes_.cbHeader, SECBUFFER_STREAM_HEADER, record.data()},
                          {piece, SECBUFFER_DATA, record.data() + sizes_.cbHeader},
                          {sizes_.cbTrailer, SECBUFFER_STREAM_TRAILER, record.data() + sizes_.cbHeader + piece},
                          {0, SECBUFFER_EMPTY, nullptr}};
  SecBufferDesc desc{SECBUFFER_VERSION, 4, buffers};
  if (EncryptMessage(&context_, 0, &desc, 0) != SEC_E_OK) return -1;
  size_t total = buffers[0].cbBuffer + buffers[1].cbBuffer + buffers[2].cbBuffer;
  budget_.start(socket_, false, true);
  if (!sendAllRaw(socket_, budget_, record.data(), total)) return -1;
  return static_cast<int32_t>(piece);
}

void SchannelConnection::close() {
  if (closed_ || !haveContext_) return;
  closed_ = true;
  DWORD type = SCHANNEL_SHUTDOWN;
  SecBuffer control{sizeof type, SECBUFFER_TOKEN, &type};
  SecBufferDesc controlDesc{SECBUFFER_VERSION, 1, &control};
  if (ApplyControlToken(&context_, &controlDesc) != SEC_E_OK) return;
  SecBuffer out{0, SECBUFFER_TOKEN, nullptr};
  SecBufferDesc outDesc{SECBUFFER_VERSION, 1, &out};
  ULONG attributes = 0;
  InitializeSecurityContextW(credentials_, &context_, const_cast<wchar_t*>(host_.c_str()), kContextFlags, 0, 0,
                             nullptr, 0, nullptr, &outDesc, &attributes, nullptr);
  budget_.start(socket_, false, true);
  sendToken(socket_, budget_, out);
}

}  // namespace

// ---------------------------------------------------------------------------
// 4. TlsClient

struct TlsClient::State {
  CredHandle credentials{};
  bool haveCredentials = false;
  HCERTSTORE bundle = nullptr;  // the loaded authorities; none trusts the system
  bool ready = false;
  ~State() {
    if (haveCredentials) FreeCredentialsHandle(&credentials);
    if (bundle) CertCloseStore(bundle, 0);
  }
};

TlsClient::TlsClient() : state_(std::make_unique<State>()) {}
TlsClient::~TlsClient() = default;

void TlsClient::init() {
  if (state_->haveCredentials) return;
  SCHANNEL_CRED credentials{};
  credentials.dwVersion = SCHANNEL_CRED_VERSION;
  credentials.grbitEnabledProtocols = SP_PROT_TLS1_2_CLIENT;
  credentials.dwFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS;
  TimeStamp expiry;
  state_->haveCredentials =
      AcquireCredentialsHandleW(nullptr, const_cast<wchar_t*>(UNISP_NAME_W), SECPKG_CRED_OUTBOUND, nullptr,
                                &credentials, nullptr, nullptr, &state_->credentials, &expiry) == SEC_E_OK;
}

bool TlsClient::init(const char* bundlePath, Ref<String>* why) {
  init();
  if (!state_->haveCredentials || !bundlePath) return false;
  Ref<String> text = tlsReadBundle(bundlePath, why);
  if (!text) return false;
  const std::vector<TlsBundleCertificate> certificates = tlsBundleCertificates(text->view(), bundlePath, why);
  if (certificates.empty()) return false;
  HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, 0, nullptr);
  bool loaded = store != nullptr;
  for (size_t i = 0; loaded && i < certificates.size(); i++)
    loaded = CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING,
                                              reinterpret_cast<const BYTE*>(certificates[i].der.data()),
                                              static_cast<DWORD>(certificates[i].der.size()),
                                              CERT_STORE_ADD_USE_EXISTING, nullptr);
  if (!loaded) {
    if (store) CertCloseStore(store, 0);
    if (why) *why = String::withFormat("%s cannot be loaded", bundlePath);
    return false;
  }
  if (state_->bundle) CertCloseStore(state_->bundle, 0);
  state_->bundle = store;
  state_->ready = true;
  return true;
}

bool TlsClient::setupWithoutBundle(Ref<String>* why) {
  init();
  if (!state_->haveCredentials) {
    if (why) *why = String::withCString("the system's certificate store cannot be used");
    return false;
  }
  state_->ready = true;
  return true;
}

Ref<TlsConnection> TlsClient::connect(SocketIO::Handle socket, const char* host, Ref<String>* why) {
  if (!state_->ready || socket == SocketIO::kNoHandle || !host) return nullptr;
  std::wstring wideHost = WideText::wide(host);
  auto connection = make<SchannelConnection>(self<Object>(), socket, &state_->credentials, wideHost);
  std::string reason;
  PCCERT_CONTEXT server = nullptr;
  if (connection->handshake(reason)) {
    server = connection->serverCertificate();
    if (!server) reason = "the server sent no certificate";
  }
  const bool trusted = server && verifyServer(server, state_->bundle, wideHost, reason);
  if (server) CertFreeCertificateContext(server);
  if (trusted) return connection;
  if (why) *why = make<String>(std::string_view(reason));
  return nullptr;
}

}  // namespace quorl
