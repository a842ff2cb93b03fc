// The HTTP/1.1 client.
//
// Sections:
//   1. HttpResponse, Socket
//   2. _HttpSocket: connect, TLS, send, receive under the deadline
//   3. Http: limits, the secure-layer slot, URL checks
//   4. Http::get and one request
//   5. Reading and parsing the reply
//   6. Chunked bodies and redirect targets
#include "net/Http.h"

#include <algorithm>
#include <cstring>
#include <mutex>

namespace quorl {

namespace {

const char kReceiveFailed[] = "receive failed or timed out";

bool equalsC(Ptr<const String> s, const char* text) {
  return s && s->byteLength() == std::strlen(text) && std::memcmp(s->cString(), text, s->byteLength()) == 0;
}

// Milliseconds as seconds: "30", "1.5", "0.25".
Ref<String> secondsText(uint32_t ms) {
  Ref<String> text = String::withU32(ms / 1000);
  if (uint32_t fraction = ms % 1000) {
    char digits[5] = {'.', char('0' + fraction / 100), char('0' + fraction / 10 % 10), char('0' + fraction % 10), 0};
    uint32_t n = 4;
    while (digits[n - 1] == '0') n--;
    text->appendBytes(digits, n);
  }
  return text;
}

Ref<String> deadlineText() {
  return String::withFormat("request timed out after %s seconds",
                            secondsText(Http::limits().requestDeadlineMs)->cString());
}

// A time-out is said as one: silence is not a malformed reply.
Ref<String> silenceText(uint32_t ms, bool partOfAReply) {
  return String::withFormat(partOfAReply ? "the server stopped sending for %s s" : "the server did not answer within %s s",
                            secondsText(ms)->cString());
}

Ref<String> headTooLargeText() {
  return String::withFormat("response headers larger than %u bytes", Http::limits().maxHeadBytes);
}

}  // namespace

// ---------------------------------------------------------------------------
// 1. HttpResponse, Socket

Ref<HttpResponse> HttpResponse::failure(Ref<Url> url, Ref<String> error) {
  Ref<HttpResponse> r = make<HttpResponse>(std::move(url));
  r->error = std::move(error);
  return r;
}

Ref<String> HttpResponse::header(Ptr<const String> name) const {
  if (!name) return nullptr;
  return cast<String>(headers->get(name->lowercased()));
}

Ref<String> HttpResponse::header(const char* name) const {
  return name ? header(String::withCString(name)) : nullptr;
}

bool HttpResponse::hasNoBody() const { return Http::_hasNoBody(status); }

Ref<String> HttpResponse::description() const {
  uint16_t values[1] = {static_cast<uint16_t>(status)};
  return String::_classDescribe("HttpResponse", values, 1, 0);
}

void Socket::close() {
  if (open) SocketIO::close(handle);
  open = 0;
  handle = -1;
}

Ref<String> Socket::description() const {
  uint16_t values[2] = {static_cast<uint16_t>(handle), open};
  return String::_classDescribe("Socket", values, 2, 0x1);
}

// ---------------------------------------------------------------------------
// 2. _HttpSocket

_HttpSocket::_HttpSocket(HttpClock::time_point deadline) : deadline(deadline) {}
_HttpSocket::_HttpSocket() : deadline(Http::_deadlineFromNow()) {}

_HttpSocket::~_HttpSocket() { disconnect(); }

Ref<String> _HttpSocket::description() const {
  uint16_t values[2] = {static_cast<uint16_t>(handle), connected};
  return String::_classDescribe("_HttpSocket", values, 2, 0x1);
}

uint32_t _HttpSocket::_nextWaitMs() {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - HttpClock::now()).count();
  waitEndsAtDeadline_ = true;
  if (left <= 0) {
    deadlinePassed = true;
    return 0;
  }
  uint32_t io = Http::limits().ioTimeoutMs;
  if (io != 0 && static_cast<uint64_t>(left) >= io) {
    waitEndsAtDeadline_ = false;
    return io;
  }
  return static_cast<uint32_t>(left);
}

void _HttpSocket::_noteFailedWait(HttpClock::time_point started, uint32_t wait, bool endsAtDeadline) {
  const HttpClock::time_point now = HttpClock::now();
  if (wait != 0 && now - started >= std::chrono::milliseconds(wait)) {
    timedOutMs = wait;
    if (endsAtDeadline) deadlinePassed = true;
  }
  if (now >= deadline) deadlinePassed = true;
}

// Every address is tried within the connect time-out, and all of them
// within what is left of the deadline.
bool _HttpSocket::open(Ptr<const String> host, uint32_t port) {
  const char* hostText = host ? host->cString() : "";
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - HttpClock::now()).count();
  SocketIO::OpenResult result = SocketIO::OpenResult::connectFailed;
  SocketIO::Handle h = SocketIO::kNoHandle;
  if (left > 0)
    result = SocketIO::open(Url::unbracketed(host)->cString(), port, Http::limits().connectTimeoutMs,
                            left > 0xFFFFFFFF ? 0xFFFFFFFFu : static_cast<uint32_t>(left), h);
  if (result == SocketIO::OpenResult::connectFailed && HttpClock::now() >= deadline) {
    deadlinePassed = true;
    error = deadlineText();
    return false;
  }
  switch (result) {
    case SocketIO::OpenResult::ok:
      break;
    case SocketIO::OpenResult::startupFailed:
      error = String::withCString("Winsock would not start");
      return false;
    case SocketIO::OpenResult::resolveFailed:
      error = String::withFormat("cannot resolve host '%s'", hostText);
      return false;
    case SocketIO::OpenResult::connectFailed:
      error = String::withFormat("cannot connect to %s:%u", hostText, port);
      return false;
  }
  handle = h;
  connected = 1;
  appliedTimeoutMs_ = Http::limits().ioTimeoutMs;
  SocketIO::setReceiveTimeout(handle, appliedTimeoutMs_);
  SocketIO::setSendTimeout(handle, appliedTimeoutMs_);
  return true;
}

namespace {
// Brings the socket's time-outs down as the deadline nears, so that a TLS
// handshake, a send or a receive cannot outlast it.
bool applyWait(_HttpSocket& s, uint32_t wait, uint32_t& applied) {
  if (wait == 0) return false;
  if (wait != applied) {
    SocketIO::setReceiveTimeout(s.handle, wait);
    SocketIO::setSendTimeout(s.handle, wait);
    applied = wait;
  }
  return true;
}
}  // namespace

// The handshake is part of connecting: it gets the connect time-out, within
// the I/O time-out and the deadline like any wait, and the layer keeps to
// the socket's time-outs for the whole handshake rather than for each
// record. A handshake that fails once the deadline is reached reports the
// deadline.
bool _HttpSocket::startSecure(HttpSecureLayer* layer, Ptr<const String> host) {
  const char* hostText = host ? host->cString() : "";
  secure = nullptr;
  Ref<String> why;
  if (layer && connected) {
    uint32_t wait = _nextWaitMs();
    bool endsAtDeadline = waitEndsAtDeadline_;
    const uint32_t connectMs = Http::limits().connectTimeoutMs;
    if (wait != 0 && connectMs != 0 && connectMs < wait) wait = connectMs, endsAtDeadline = false;
    const HttpClock::time_point started = HttpClock::now();
    if (applyWait(*this, wait, appliedTimeoutMs_)) secure = layer->connect(handle, Url::unbracketed(host), &why);
    if (!secure) _noteFailedWait(started, wait, endsAtDeadline);
  }
  if (secure) return true;
  error = deadlinePassed ? deadlineText()
          : timedOutMs   ? silenceText(timedOutMs, false)
          : why          ? String::withFormat("TLS handshake with %s failed: %s", hostText, why->cString())
                         : String::withFormat("TLS handshake with %s failed", hostText);
  return false;
}

// A plain socket sends only what fits at once and watches for a reply in
// between: a server that answers before the body is all in (a refusal of
// its size) and stops reading is heard, not waited on until the time-out.
_HttpSocket::Sent _HttpSocket::sendAll(const void* bytes, uint32_t length, const Arrived& arrived) {
  if (length == 0) return Sent::all;
  if (!connected) return Sent::failed;
  const uint8_t* b = static_cast<const uint8_t*>(bytes);
  uint32_t sent = 0;
  std::unique_ptr<uint8_t[]> piece;
  while (sent < length) {
    const uint32_t wait = _nextWaitMs();
    const bool endsAtDeadline = waitEndsAtDeadline_;
    if (!applyWait(*this, wait, appliedTimeoutMs_)) return Sent::failed;
    const HttpClock::time_point started = HttpClock::now();
    if (secure) {
      if (secure->write(b, length)) return Sent::all;
      _noteFailedWait(started, wait, endsAtDeadline);
      return Sent::failed;
    }
    bool readable = false;
    const int32_t waitMs = static_cast<int32_t>(std::min<uint32_t>(wait, 0x7FFFFFFF));
    if ((arrived ? SocketIO::waitEither(handle, waitMs, readable) : SocketIO::waitReady(handle, true, waitMs)) !=
        SocketIO::WaitResult::ready) {
      _noteFailedWait(started, wait, endsAtDeadline);
      return Sent::failed;
    }
    if (readable) {
      if (!piece) piece.reset(new uint8_t[8192]);
      const int32_t r = SocketIO::receive(handle, piece.get(), 8192);
      if (!arrived(piece.get(), r) || r <= 0) return Sent::stopped;
      continue;
    }
    const int32_t r = SocketIO::sendNow(handle, b + sent, length - sent);
    if (r < 0) return Sent::failed;
    sent += static_cast<uint32_t>(r);
  }
  return Sent::all;
}

// A plain receive first waits for data on the clock, as the secure layer
// does, so that a time-out is told from a failure by the time it took: the
// system's own receive time-out may end a little early.
int32_t _HttpSocket::receive(void* buffer, uint32_t capacity) {
  if (!connected) return -1;
  const uint32_t wait = _nextWaitMs();
  const bool endsAtDeadline = waitEndsAtDeadline_;
  if (!applyWait(*this, wait, appliedTimeoutMs_)) return -1;
  const HttpClock::time_point started = HttpClock::now();
  int32_t r = -1;
  if (secure) {
    r = secure->read(buffer, capacity);
  } else {
    SocketIO::Budget budget;
    budget.start(wait);
    if (budget.wait(handle, false)) r = SocketIO::receive(handle, buffer, capacity);
  }
  if (r < 0) _noteFailedWait(started, wait, endsAtDeadline);
  return r;
}

void _HttpSocket::disconnect() {
  if (!connected) return;
  if (secure) {
    secure->close();
    secure = nullptr;
  }
  SocketIO::close(handle);
  connected = 0;
  handle = SocketIO::kNoHandle;
}

// ---------------------------------------------------------------------------
// 3. Limits, the secure-layer slot, URL checks

namespace {
std::mutex gLayerLock;
Ref<HttpSecureLayer> gLayer;
}  // namespace

HttpLimits& Http::limits() {
  static HttpLimits limits;
  return limits;
}

HttpClock::time_point Http::_deadlineFromNow() {
  return HttpClock::now() + std::chrono::milliseconds(limits().requestDeadlineMs);
}

void Http::setSecureLayer(Ref<HttpSecureLayer> layer) {
  Ref<HttpSecureLayer> previous;
  std::lock_guard<std::mutex> lock(gLayerLock);
  previous = std::move(gLayer);
  gLayer = std::move(layer);
}

Ref<HttpSecureLayer> Http::secureLayer() {
  std::lock_guard<std::mutex> lock(gLayerLock);
  return gLayer;
}

Ref<String> Http::_checkUrlText(Ptr<const Url> url) {
  if (!url) return String::withCString("invalid URL");
  const Ref<String>& text = url->toString();
  for (uint32_t i = 0; i < text->byteLength(); i++) {
    uint8_t c = text->byteAt(i);
    if (c <= 0x20 || c == 0x7F) return String::withCString("invalid URL");
  }
  // A malformed port is refused, never read as none: the request would go
  // to the scheme's port instead.
  return url->authorityFault();
}

Ref<Url> Http::_withoutFragment(const Ref<Url>& url) {
  const Ref<String>& text = url->toString();
  uint32_t hash = text->indexOfByte('#');
  if (hash == kNotFound) return url;
  return make<Url>(text->substringBytes(0, hash));
}

// ---------------------------------------------------------------------------
// 4. Http::get and one request

Ref<HttpResponse> Http::get(Ref<Url> url, const LayerInstaller& installer) {
  const HttpClock::time_point deadline = _deadlineFromNow();
  Ref<Url> current = url;
  for (uint32_t request = 1;; request++) {
    Ref<HttpResponse> response = _once(current, deadline, installer);
    uint32_t s = response->status;
    if (s != 301 && s != 302 && s != 303 && s != 307 && s != 308) return response;
    Ref<String> location = response->header("Location");
    if (!location) return response;
    Ref<Url> next = _resolve(_withoutFragment(current), location);
    if (request == 6) return HttpResponse::failure(url, "too many redirects");
    // Leaving TLS on a redirect would send the rest of the exchange, and
    // whatever the first server meant to protect, in the clear.
    if (equalsC(current->scheme()->lowercased(), "https") && !equalsC(next->scheme()->lowercased(), "https"))
      return HttpResponse::failure(url, "redirect from https to http refused");
    current = next;
  }
}

Ref<HttpResponse> Http::_once(Ref<Url> url, HttpClock::time_point deadline, const LayerInstaller& installer) {
  Ref<Url> target = _withoutFragment(url);
  Ref<String> scheme = target->scheme()->lowercased();
  const bool secureScheme = equalsC(scheme, "https");
  if (!secureScheme && !equalsC(scheme, "http"))
    return HttpResponse::failure(url, String::withFormat("unsupported scheme '%s'", scheme->cString()));
  if (Ref<String> bad = _checkUrlText(target)) return HttpResponse::failure(url, bad);

  Ref<HttpSecureLayer> layer;
  if (secureScheme) {
    layer = secureLayer();
    if (!layer && installer) {
      Ref<String> why = installer();
      layer = secureLayer();
      if (!layer && why) return HttpResponse::failure(url, why);
    }
    if (!layer) return HttpResponse::failure(url, "https needs a TLS layer (Http.setSecureLayer)");
  }

  Ref<String> host = target->host();
  if (host->isEmpty()) return HttpResponse::failure(url, "no host in URL");
  const uint32_t written = target->port();  // sound: checked above
  const uint32_t port = written != 0 ? written : (secureScheme ? 443 : 80);
  if (HttpClock::now() >= deadline) return HttpResponse::failure(url, deadlineText());

  _HttpSocket socket(deadline);
  if (!socket.open(host, port)) return HttpResponse::failure(url, socket.error);
  if (secureScheme && !socket.startSecure(layer.get(), host)) {
    socket.disconnect();
    return HttpResponse::failure(url, socket.error);
  }

  Ref<String> request = String::withCString("GET ");
  request->append(target->path());
  Ref<String> query = target->query();
  if (!query->isEmpty()) {
    request->appendByte('?');
    request->append(query);
  }
  request->appendCString(" HTTP/1.1\r\nHost: ");
  request->append(host);
  if (written != 0) request->appendFormat(":%u", written);
  request->appendCString("\r\nUser-Agent: quorlc-http\r\nAccept: */*\r\nConnection: close\r\n\r\n");
  bool unsent = false;
  Ref<HttpResponse> response = _exchange(socket, url, request, &unsent);
  return unsent ? HttpResponse::failure(url, "send failed") : response;
}

// ---------------------------------------------------------------------------
// 5. Reading and parsing the reply

namespace {

// A Content-Length value: its leading decimal digits, none giving 0. A value
// past 32 bits is malformed rather than wrapped to a smaller length.
// A Content-Length is digits only, or the same digits repeated in a list
// ("5, 5"); anything else, and any value past 32 bits, is malformed: a body
// framed by a guess could be cut short or run into the next reply.
bool parseContentLength(const String& value, uint32_t& length) {
  const uint32_t n = value.byteLength();
  bool first = true;
  uint64_t result = 0;
  uint32_t i = 0;
  for (;;) {
    while (i < n && (value.byteAt(i) == ' ' || value.byteAt(i) == '\t')) i++;
    uint64_t v = 0;
    uint32_t digits = 0;
    for (; i < n && value.byteAt(i) >= '0' && value.byteAt(i) <= '9'; i++, digits++) {
      v = v * 10 + (value.byteAt(i) - '0');
      if (v > 0xFFFFFFFFull) return false;
    }
    if (digits == 0 || (!first && v != result)) return false;
    result = v, first = false;
    while (i < n && (value.byteAt(i) == ' ' || value.byteAt(i) == '\t')) i++;
    if (i == n) break;
    if (value.byteAt(i) != ',') return false;
    i++;
  }
  length = static_cast<uint32_t>(result);
  return true;
}

// Where the head's blank line (CR LF CR LF) starts, searching bytes from
// `from` to `n`; kNotFound when it is not there.
uint32_t findHeadEnd(const uint8_t* b, uint32_t from, uint32_t n) {
  for (uint32_t i = from; i + 3 < n; i++) {
    const void* cr = std::memchr(b + i, '\r', n - 3 - i);
    if (!cr) return kNotFound;
    i = static_cast<uint32_t>(static_cast<const uint8_t*>(cr) - b);
    if (b[i + 1] == '\n' && b[i + 2] == '\r' && b[i + 3] == '\n') return i;
  }
  return kNotFound;
}

bool isBlank(uint8_t c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// The bytes from start to end without blanks at either end.
void trim(const uint8_t* b, uint32_t& start, uint32_t& end) {
  while (start < end && isBlank(b[start])) start++;
  while (end > start && isBlank(b[end - 1])) end--;
}

// One header line, b[start, end): the field's name lower-cased, its value,
// and a repeated field joined to the earlier value in place, so that a head
// of many repeats costs time in proportion to its bytes.
void addField(Map& headers, const uint8_t* b, uint32_t start, uint32_t end) {
  const void* found = std::memchr(b + start, ':', end - start);
  if (!found) return;
  const uint32_t colon = static_cast<uint32_t>(static_cast<const uint8_t*>(found) - b);
  uint32_t nameStart = start, nameEnd = colon, valueStart = colon + 1, valueEnd = end;
  trim(b, nameStart, nameEnd);
  trim(b, valueStart, valueEnd);
  Ref<String> name = String::withBytes(b + nameStart, nameEnd - nameStart)->lowercased();
  if (Ref<String> old = cast<String>(headers.get(name))) {
    old->appendBytes(", ", 2);
    old->appendBytes(b + valueStart, valueEnd - valueStart);
    return;
  }
  headers.set(name, String::withBytes(b + valueStart, valueEnd - valueStart));
}

}  // namespace

void Http::_reserveForBody(Data& raw, uint32_t start, uint32_t end, uint32_t cap) {
  const uint8_t* b = raw.bytes();
  // Only room made ahead: a plain Content-Length field is looked at here,
  // and the parse proper decides later what the reply holds.
  static const char kField[] = "\r\ncontent-length:";
  const uint32_t m = sizeof kField - 1;
  for (uint32_t i = start; i + m <= end; i++) {
    uint32_t k = 0;
    while (k < m && (b[i + k] | ((b[i + k] >= 'A' && b[i + k] <= 'Z') ? 0x20 : 0)) == static_cast<uint8_t>(kField[k]))
      k++;
    if (k < m) continue;
    uint64_t length = 0;
    uint32_t j = i + m;
    while (j < end && (b[j] == ' ' || b[j] == '\t')) j++;
    while (j < end && b[j] >= '0' && b[j] <= '9' && length <= cap) length = length * 10 + (b[j++] - '0');
    const uint64_t total = static_cast<uint64_t>(end) + 4 + length;
    if (total <= cap && total > raw.capacity()) raw._reserve(static_cast<uint32_t>(total));
    break;
  }
}

namespace {

// The status of the status line b[start, end): at most 3 digits behind its
// first space; 0 when there are none. `isHttp` is false when the line does
// not begin with "HTTP/".
uint32_t statusOf(const uint8_t* b, uint32_t start, uint32_t end, bool& isHttp) {
  trim(b, start, end);
  isHttp = end - start >= 5 && std::memcmp(b + start, "HTTP/", 5) == 0;
  const void* space = std::memchr(b + start, ' ', end - start);
  if (!isHttp || !space) return 0;
  uint32_t status = 0;
  const uint32_t at = static_cast<uint32_t>(static_cast<const uint8_t*>(space) - b) + 1;
  for (uint32_t k = at; k < end && k < at + 3 && b[k] >= '0' && b[k] <= '9'; k++) status = status * 10 + (b[k] - '0');
  return status;
}

// The end of the first line of b[start, end).
uint32_t lineEndOf(const uint8_t* b, uint32_t start, uint32_t end) {
  const void* lf = std::memchr(b + start, '\n', end - start);
  return lf ? static_cast<uint32_t>(static_cast<const uint8_t*>(lf) - b) : end;
}

// The reply as it comes in, within its caps: every head is looked for in
// the new bytes only, interim heads are passed over (each under the head
// cap, all of them under the reply cap), and the reading stops as soon as
// a head has outgrown its cap, so that endless header lines cost no more
// memory or time than the cap. A final head whose status has no body ends
// the reply: nothing more is read, and bytes that came with it are not
// counted against the cap.
struct ReplyReader {
  uint32_t cap;
  uint32_t headCap;
  Ref<Data> raw = make<Data>();
  uint32_t headStart = 0;          // where the head now awaited starts
  uint32_t headEnd = kNotFound;    // the final head's blank line, once in
  bool tooLarge = false, headTooLarge = false;
  bool failed = false;  // a receive failed
  bool ended = false;   // the reply ended with its head

  // One receive's answer; false once nothing more is to be read.
  bool take(const uint8_t* bytes, int32_t r) {
    if (r < 0) failed = true;
    if (r <= 0) return false;
    // What fits is looked at first: it may end a reply without a body.
    const bool over = static_cast<uint32_t>(r) > cap - raw->length();
    if (over && headEnd != kNotFound) {
      tooLarge = true;
      return false;
    }
    const uint32_t searched = raw->length();
    raw->appendBytes(bytes, over ? cap - raw->length() : static_cast<uint32_t>(r));
    if (headEnd == kNotFound) findFinalHead(searched);
    if (ended || headTooLarge) return false;
    if (over) tooLarge = true;
    return !over;
  }
  bool finalHead() const { return headEnd != kNotFound; }

 private:
  // Looks for the final head in what came since `searched`: notes a head
  // that outgrew its cap, the final head, and whether the reply ended there.
  void findFinalHead(uint32_t searched) {
    for (uint32_t from = std::max(headStart, searched < 3 ? 0 : searched - 3);;) {
      const uint32_t end = findHeadEnd(raw->bytes(), from, raw->length());
      if (end == kNotFound ? raw->length() - headStart > headCap : end + 4 - headStart > headCap) {
        headTooLarge = true;
        return;
      }
      if (end == kNotFound) return;
      if (!Http::_isInterim(raw->bytes(), headStart, end)) {
        headEnd = end;
        bool isHttp = false;
        ended = Http::_hasNoBody(statusOf(raw->bytes(), headStart, lineEndOf(raw->bytes(), headStart, end), isHttp));
        if (!ended) Http::_reserveForBody(*raw, headStart, end, cap);
        return;
      }
      from = headStart = end + 4;
    }
  }
};

}  // namespace

bool Http::_isInterim(const uint8_t* b, uint32_t start, uint32_t end) {
  bool isHttp = false;
  const uint32_t status = statusOf(b, start, lineEndOf(b, start, end), isHttp);
  return status >= 100 && status <= 199 && status != 101;
}

bool Http::_hasNoBody(uint32_t status) { return (status >= 100 && status <= 199) || status == 204 || status == 304; }

Ref<HttpResponse> Http::_exchange(_HttpSocket& socket, Ref<Url> url, Ptr<const String> request, bool* unsent,
                                  bool* nothing, uint32_t maxReplyBytes) {
  ReplyReader reader{std::min(limits().maxReplyBytes, maxReplyBytes), limits().maxHeadBytes};
  if (unsent) *unsent = false;
  // The sending stops at the reply's final head (or its end): the server
  // has answered, and what it answered is what the caller is told.
  const _HttpSocket::Sent sent =
      socket.sendAll(request ? request->cString() : "", request ? request->byteLength() : 0,
                     [&](const uint8_t* bytes, int32_t r) { return reader.take(bytes, r) && !reader.finalHead(); });
  // A send that ran out of time had no reply to hear meanwhile; one that
  // failed (the server closed or reset the connection) may have left one.
  if (sent == _HttpSocket::Sent::failed && (socket.timedOutMs != 0 || socket.deadlinePassed)) {
    socket.disconnect();
    if (unsent) *unsent = true;
    return nullptr;
  }
  constexpr uint32_t kPiece = 8192;
  std::unique_ptr<uint8_t[]> piece(new uint8_t[kPiece]);
  if (!reader.failed && !reader.tooLarge && !reader.headTooLarge && !reader.ended)
    while (reader.take(piece.get(), socket.receive(piece.get(), kPiece))) {}
  socket.disconnect();
  const Ref<Data>& raw = reader.raw;
  if (sent == _HttpSocket::Sent::failed && raw->length() == 0) {
    if (unsent) *unsent = true;
    return nullptr;
  }
  const bool timedOut = socket.timedOutMs != 0 || socket.deadlinePassed;
  if (nothing) *nothing = raw->length() == 0 && !reader.tooLarge && !timedOut;
  if (reader.tooLarge) return HttpResponse::failure(url, String::withFormat("response larger than %u bytes", reader.cap));
  if (reader.headTooLarge) return HttpResponse::failure(url, headTooLargeText());

  ParseInfo info;
  Ref<HttpResponse> response = _parse(url, raw, &info, socket.deadline);
  if (!(reader.failed || socket.deadlinePassed)) return response;
  Ref<String> cut = socket.deadlinePassed ? deadlineText()
                    : timedOut            ? silenceText(socket.timedOutMs, raw->length() != 0)
                                          : String::withCString(kReceiveFailed);
  // A head that never ended keeps the parse's own text, unless the reading
  // ran out of time: then it was cut short, not malformed.
  if (!info.headComplete) {
    if (timedOut) response->error = cut;
  } else if (response->status == 0 && !response->error) {
    response->error = cut;
  } else if (!info.framedComplete && response->status != 0) {
    // A body without its own end was cut short by the failure, whatever the
    // parse made of the part that came.
    response->error = cut;
  }
  return response;
}

Ref<HttpResponse> Http::_parse(Ref<Url> url, Ptr<const Data> reply) { return _parse(std::move(url), reply, nullptr); }

// One pass over the head: lines are split at LF in place (no list of them
// is made), so an empty line costs nothing but its byte.
Ref<HttpResponse> Http::_parse(Ref<Url> url, Ptr<const Data> reply, ParseInfo* info,
                               HttpClock::time_point deadline) {
  ParseInfo ignored;
  if (!info) info = &ignored;
  *info = ParseInfo();
  const uint8_t* b = reply ? reply->bytes() : nullptr;
  const uint32_t n = reply ? reply->length() : 0;
  // Interim replies (100 Continue, 103 Early Hints...) come before the
  // final one on the same stream, heads without bodies: passed over.
  uint32_t headStart = 0;
  uint32_t i = b ? findHeadEnd(b, 0, n) : kNotFound;
  while (i != kNotFound && _isInterim(b, headStart, i)) i = findHeadEnd(b, headStart = i + 4, n);
  if (i == kNotFound) return HttpResponse::failure(url, "malformed response (no end of headers)");
  info->headComplete = true;

  const uint32_t statusEnd = lineEndOf(b, headStart, i);
  bool isHttp = false;
  const uint32_t status = statusOf(b, headStart, statusEnd, isHttp);
  if (!isHttp) return HttpResponse::failure(url, "malformed response (no status line)");
  Ref<HttpResponse> response = make<HttpResponse>(url);
  response->status = status;

  uint32_t lines = 0;
  for (uint32_t start = statusEnd + 1; start < i;) {
    const void* lf = std::memchr(b + start, '\n', i - start);
    const uint32_t end = lf ? static_cast<uint32_t>(static_cast<const uint8_t*>(lf) - b) : i;
    addField(*response->headers, b, start, end);
    start = end + 1;
    if (++lines % 4096 == 0 && HttpClock::now() >= deadline) return HttpResponse::failure(url, deadlineText());
  }

  // The reply ends with its head, whatever its fields announce.
  if (_hasNoBody(status)) {
    info->framedComplete = true;
    return response;
  }
  const uint32_t s = i + 4;
  Ref<String> coding = response->header("Transfer-Encoding");
  if (coding && coding->lowercased()->contains(String::withCString("chunked"))) {
    bool ok = _dechunk(b, s, n, *response->body);
    if (!ok) response->error = String::withCString("malformed chunked body");
    info->framedComplete = ok;
    return response;
  }

  uint32_t length = n - s;
  if (Ref<String> announced = response->header("Content-Length")) {
    uint32_t value = 0;
    if (!parseContentLength(*announced, value))
      return HttpResponse::failure(url, "malformed response (bad Content-Length)");
    if (value > length) {
      response->error = String::withFormat("short body (%u of %u bytes)", length, value);
    } else {
      length = value;
      info->framedComplete = true;
    }
  }
  response->body->appendBytes(b + s, length);
  return response;
}

// ---------------------------------------------------------------------------
// 6. Chunked bodies and redirect targets

bool Http::_dechunk(const uint8_t* b, uint32_t p, uint32_t end, Data& out) {
  if (p >= end) return false;
  for (;;) {
    uint32_t size = 0;
    uint32_t q = p;
    while (q < end) {
      int32_t h = Url::_hex(b[q]);
      if (h < 0) break;
      if (size > 0x0FFFFFFFu) return false;  // a 33rd bit: the size would wrap
      size = size * 16 + static_cast<uint32_t>(h);
      q++;
    }
    if (q == p) return false;
    uint32_t c = q;
    while (c + 1 < end && !(b[c] == '\r' && b[c + 1] == '\n')) c++;
    // The last chunk only once its line has ended: "0" cut off at the end
    // may be the start of a size written with leading zeros.
    if (size == 0) return c + 1 < end;
    if (c + 1 >= end) return false;  // no CR LF: the data would start past the end
    const uint32_t d = c + 2;
    if (d > end || size > end - d) return false;
    out.appendBytes(b + d, size);
    p = d + size + 2;  // the CR LF behind the data is skipped as it stands
    if (p >= end) return false;
  }
}

Ref<Url> Http::_resolve(Ptr<const Url> base, Ptr<const String> location) {
  Ref<String> lower = location ? location->lowercased() : make<String>();
  if (lower->hasPrefix(String::withCString("http://")) || lower->hasPrefix(String::withCString("https://")))
    return make<Url>(location);
  Ref<String> text = base->scheme();
  text->appendCString("://");
  text->append(base->host());
  if (uint32_t port = base->port()) text->appendFormat(":%u", port);
  if (location && location->byteLength() > 0 && location->byteAt(0) == '/') {
    text->append(location);
  } else {
    Ref<String> path = base->path();
    uint32_t slash = path->lastIndexOfByte('/');
    text->append(path->substringBytes(0, slash == kNotFound ? 0 : slash + 1));
    if (location) text->append(location);
  }
  return make<Url>(text);
}

}  // namespace quorl
