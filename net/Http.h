// The HTTP/1.1 client: one GET (or, through Net::post, one POST) per fresh
// connection, in the clear or over the installed secure layer, with
// redirects, bounded and chunked bodies.
//
// Sections:
//   1. HttpSecureLayer / HttpSecureConnection: the client's two TLS protocols
//   2. HttpResponse: the result of every exchange, failures included
//   3. Socket, SocketError: plain holders the client itself does not use
//   4. HttpLimits: time-outs, the per-request deadline, the reply caps
//   5. _HttpSocket: one TCP connection of the client
//   6. Http: get, one request, reply parsing, chunks, redirect targets
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>

#include "foundation/Data.h"
#include "foundation/Map.h"
#include "foundation/Object.h"
#include "foundation/String.h"
#include "net/Socket.h"
#include "net/Url.h"

namespace quorl {

// ---------------------------------------------------------------------------
// 1. The TLS protocols. The one installed layer is process-wide.
class HttpSecureConnection {
 public:
  virtual ~HttpSecureConnection() = default;
  // True when every byte was written.
  virtual bool write(const void* bytes, uint32_t length) = 0;
  // More than 0 bytes of plain text, 0 at the end of the stream, below 0 on
  // failure or time-out.
  virtual int32_t read(void* buffer, uint32_t capacity) = 0;
  // Ends the session; the socket's owner closes the socket afterwards.
  virtual void close() = 0;
};

class HttpSecureLayer {
 public:
  virtual ~HttpSecureLayer() = default;
  // A session over the connected socket for the host, or none when the
  // handshake (or the verification of the server) failed; then `why`, when
  // not null, may be given the TLS library's reason.
  virtual Ref<HttpSecureConnection> connect(SocketIO::Handle socket, Ptr<const String> host, Ref<String>* why) = 0;
};

// ---------------------------------------------------------------------------
// 2. HttpResponse. Status 0 means that no valid status was obtained; the
//    error text may also be set beside a status, when the body is faulty.
class HttpResponse : public Object {
 public:
  HttpResponse() = default;
  explicit HttpResponse(Ref<Url> url) : url(std::move(url)) {}
  static Ref<HttpResponse> failure(Ref<Url> url, Ref<String> error);
  static Ref<HttpResponse> failure(Ref<Url> url, const char* error) {
    return failure(std::move(url), String::withCString(error));
  }

  // A 2xx status: the server did what it was asked (200 OK, 201 Created,
  // 203 from a proxy...), whichever code it chose to say so.
  bool succeeded() const { return status >= 200 && status <= 299; }
  // The status is one whose reply never has a body (Http::_hasNoBody): what
  // the server meant to send is all in the status and the header fields.
  bool hasNoBody() const;

  // The field's value, by its name in any case; null when absent.
  Ref<String> header(Ptr<const String> name) const;
  Ref<String> header(const char* name) const;

  Ref<String> description() const override;  // <HttpResponse>(status)
  const char* classNameC() const override { return "HttpResponse"; }

  uint32_t status = 0;
  Ref<String> error;
  Ref<Map> headers = make<Map>();  // lower-case names to values
  Ref<Data> body = make<Data>();
  Ref<Url> url;
};

// ---------------------------------------------------------------------------
// 3. Plain holders: nothing in the client makes them.
class Socket : public Object {
 public:
  ~Socket() override { close(); }
  void close();
  Ref<String> description() const override;  // <Socket>(handle, open)
  const char* classNameC() const override { return "Socket"; }

  int64_t handle = -1;
  uint8_t open = 0;
};

class SocketError : public Object, public Error {
 public:
  explicit SocketError(Ref<String> text) : text(std::move(text)) {}
  Ref<String> message() const override { return text; }
  const char* classNameC() const override { return "SocketError"; }

  Ref<String> text;
};

// ---------------------------------------------------------------------------
// 4. Limits. Process-wide; tests shorten them.
struct HttpLimits {
  uint32_t connectTimeoutMs = 30000;   // each address tried
  uint32_t ioTimeoutMs = 30000;        // each send and each receive
  uint32_t requestDeadlineMs = 180000; // a whole request: connect, TLS, send, reply, every redirect
  uint32_t maxReplyBytes = 256u << 20; // the reply held in memory
  uint32_t maxHeadBytes = 64u << 10;   // the status line and the header fields, blank line included
};

using HttpClock = std::chrono::steady_clock;

// ---------------------------------------------------------------------------
// 5. One TCP connection of the client; one request, never reused. Every
//    wait is bounded by the connection's deadline.
class _HttpSocket : public Object {
 public:
  explicit _HttpSocket(HttpClock::time_point deadline);
  _HttpSocket();
  ~_HttpSocket() override;

  bool open(Ptr<const String> host, uint32_t port);
  bool startSecure(HttpSecureLayer* layer, Ptr<const String> host);
  // Sends the bytes. While they go out, whatever the server answers is
  // handed to `arrived` as each receive gives it (a count above 0, 0 at the
  // end of the stream, below 0 on failure), and the sending stops when it
  // answers false (over TLS the answer is only read afterwards).
  enum class Sent : uint8_t { all, stopped, failed };
  using Arrived = std::function<bool(const uint8_t* bytes, int32_t count)>;
  Sent sendAll(const void* bytes, uint32_t length, const Arrived& arrived);
  int32_t receive(void* buffer, uint32_t capacity);
  void disconnect();

  Ref<String> description() const override;  // <_HttpSocket>(handle, connected)
  const char* classNameC() const override { return "_HttpSocket"; }

  int64_t handle = SocketIO::kNoHandle;
  uint8_t connected = 0;
  Ref<HttpSecureConnection> secure;
  Ref<String> error;
  HttpClock::time_point deadline;
  bool deadlinePassed = false;  // a wait was cut short by the deadline
  uint32_t timedOutMs = 0;      // the time-out that ended a wait, 0 while none did

 private:
  // The time-out for the next wait: the I/O time-out, or less when the
  // deadline is nearer; 0 once the deadline has passed.
  uint32_t _nextWaitMs();
  // After a wait of `wait` ms that began at `started` failed: notes whether
  // it ran out (its time-out or the deadline) rather than failing early.
  void _noteFailedWait(HttpClock::time_point started, uint32_t wait, bool endsAtDeadline);
  uint32_t appliedTimeoutMs_ = 0;
  bool waitEndsAtDeadline_ = false;  // the last wait was cut to the deadline
};

// ---------------------------------------------------------------------------
// 6. Http: class operations only.
class _HttpJob;

class Http final : public Object {
 public:
  Http() = delete;
  const char* classNameC() const override { return "Http"; }

  // Called when an https request finds no secure layer installed: installs
  // one and answers null, or answers the text of why it could not.
  using LayerInstaller = std::function<Ref<String>()>;

  // GET with redirects; always a response, status 0 on failure.
  static Ref<HttpResponse> get(Ref<Url> url, const LayerInstaller& installer = {});
  // Exactly one request, bounded by the deadline.
  static Ref<HttpResponse> _once(Ref<Url> url, HttpClock::time_point deadline,
                                 const LayerInstaller& installer = {});
  static Ref<HttpResponse> _once(Ref<Url> url) { return _once(std::move(url), _deadlineFromNow()); }
  static Ref<HttpResponse> _parse(Ref<Url> url, Ptr<const Data> reply);
  static bool _dechunk(const uint8_t* bytes, uint32_t start, uint32_t end, Data& out);
  static Ref<Url> _resolve(Ptr<const Url> base, Ptr<const String> location);
  // Records a background job and starts its thread (Fetch.cpp).
  static void _start(Ref<_HttpJob> job);

  // The installed secure layer (none at start); an install replaces it.
  static void setSecureLayer(Ref<HttpSecureLayer> layer);
  static Ref<HttpSecureLayer> secureLayer();

  static HttpLimits& limits();
  static HttpClock::time_point _deadlineFromNow();

  // -- Shared with Net::post -----------------------------------------------
  // Null when the URL can be requested, else why not: "invalid URL" for a
  // byte below 0x21 or a DEL anywhere (nothing may end a request line or
  // start a header field), else the authority's fault (Url::authorityFault).
  // Every request checks it before it installs TLS or opens a socket.
  static Ref<String> _checkUrlText(Ptr<const Url> url);
  // The URL without its fragment, which is never sent.
  static Ref<Url> _withoutFragment(const Ref<Url>& url);
  // Sends the request and reads the reply to the end of the stream (or, for
  // a reply without a body, to the end of its head), within
  // the caps (the smaller of `maxReplyBytes` and the limits' for the whole
  // reply), and parses it. A reply that arrives while the request is still
  // going out, or is left when the sending fails, is read and stands: the
  // sending stops at its final head. `nothing` is set when the server ended
  // the exchange (or it failed) before one byte arrived; a time-out is
  // never nothing. `unsent` is set, and null answered, when the request
  // could not be sent and no reply came.
  static Ref<HttpResponse> _exchange(_HttpSocket& socket, Ref<Url> url, Ptr<const String> request, bool* unsent,
                                     bool* nothing = nullptr, uint32_t maxReplyBytes = UINT32_MAX);
  // Once a head (from `headStart` to `headEnd`, where its blank line
  // starts) is in, makes room for the announced body in one step, within
  // the cap.
  static void _reserveForBody(Data& raw, uint32_t headStart, uint32_t headEnd, uint32_t cap);
  // Whether the head b[start, end) is an interim reply (1xx other than
  // 101), which a final one follows on the same stream.
  static bool _isInterim(const uint8_t* b, uint32_t start, uint32_t end);
  // Whether a reply of this status has no body whatever its header fields
  // say (Content-Length, Transfer-Encoding): any 1xx, 204 No Content and 304
  // Not Modified. Such a reply ends with its head, and whatever follows the
  // head on the stream is no part of it. (A reply to HEAD would be one too;
  // the client sends no HEAD.)
  static bool _hasNoBody(uint32_t status);
  // _parse, telling what the reply held: its whole (final) head, and its whole body
  // by the body's own framing (a complete Content-Length body, or a chunked
  // body up to its last chunk). Reading the header fields stops at the
  // request's deadline.
  struct ParseInfo {
    bool headComplete = false;
    bool framedComplete = false;
  };
  static Ref<HttpResponse> _parse(Ref<Url> url, Ptr<const Data> reply, ParseInfo* info,
                                  HttpClock::time_point deadline = HttpClock::time_point::max());
};

}  // namespace quorl
