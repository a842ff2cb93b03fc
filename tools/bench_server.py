#!/usr/bin/env python3
"""Local benchmark server for the networking tests and benchmarks.

Serves the corpus on GET /benchmarks/corpus.php and takes contributions on
POST /benchmarks/submit.php, as the benchmark server does: the corpus
carries a "published" list of results, a contribution is answered 200 with
its id and the new count and appears in the corpus from then on, and the
same contribution sent again within a minute is answered 429. Over HTTP and
optionally HTTPS, on 127.0.0.1
with ephemeral ports. On start it prints one line per listener,
"http PORT", "http6 PORT" (plain HTTP on [::1], where the machine has an
IPv6 loopback), "https PORT", "https-wrong PORT" (a certificate for another
host name), "https-expired PORT" (an expired certificate), "https-future PORT"
(a certificate not valid yet), "https-old PORT" (the server's certificate
over TLS 1.0 and 1.1 only), "https-NAME PORT" for each --listener NAME (a
certificate of its own: dated, or signed wrongly), and "silent PORT" (a listener that takes
connections and never says a word), then "ready", and flushes. It stops when its standard input
closes (unless --ignore-stdin), on SIGTERM, or after --lifetime seconds.

Paths that misbehave on purpose (query parameters in brackets):
  /echo                     200, the request's bytes exactly as received
  /status/N                 status N, a short text body
  /redirect?to=T[&code=C]   C (302) with Location T, taken as given
  /chain/N[?mode=M]         N redirects before "done"; M is rel (relative to
                            the path), abs (absolute URL) or root ("/...")
  /loop                     a redirect to itself, for ever
  /chunked?n=N[&size=S]     N bytes of the corpus pattern in chunks of S
  /badchunk?kind=K          chunked bodies with faults: nolast, overflow,
                            huge, short, garbage
  /short                    Content-Length 100, 10 bytes, then a close
  /length?value=V[&n=N]     the Content-Length field V, then N bytes
  /bigheader?size=N         a reply with one header field of N bytes
  /head?kind=K&bytes=N      a 200 reply whose head (status line to blank line)
                            is exactly N bytes, filled with empty (LF-only)
                            lines (K=empty), "A: b" lines (K=repeat) or one
                            long field (K=long); its body is "ok"
  /endlessheader            a head that never ends
  /endless                  a body without a length that never ends
  /slow?delay=S             S seconds of silence, then a reply
  /trickle[?every=S]        a body that drips one byte every S seconds
  /hold?key=K               no reply until /release?key=K is asked for
  /close                    closes without a byte
  /raw?hex=H, /raw/H        the bytes H (hexadecimal) as the whole reply
  /raw?hex=H&hold=S         the same, then S seconds of silence before the close
  /bigreply/N               GET: the corpus, as /benchmarks/corpus.php; any
                            other method: 200 and about N bytes of a JSON array
                            of empty objects ([{},{},...]), streamed
  /continue/P               a 100 Continue and a 103 Early Hints (with a Link
                            field) as soon as the head is in, then the body
                            read and P answered as usual
  /early[/S[/open]]         413 with a JSON "error" as soon as the head is in,
                            the body never read; then a close at once, over
                            TLS without its close notice (the client's sending
                            fails), or S seconds before the close (the client's
                            sending stalls), the server's side shut first
                            unless "open"
Over HTTPS every reply ends with the TLS close notice, unless the query has
notify=0: the connection is then closed over TCP alone, as a cut would.
Every endless or slow reply is bounded by --lifetime and stops when the
client goes away.
"""

import argparse
import binascii
import hashlib
import http
import json
import os
import signal
import socket
import socketserver
import ssl
import sys
import threading
import time
import urllib.parse
import warnings

MAX_HEAD = 1 << 20
MAX_BODY = 256 << 20
DUPLICATE_WINDOW = 60.0


class State:
    def __init__(self, corpus, deadline):
        self.corpus = corpus
        self.deadline = deadline
        self.lock = threading.Lock()
        self.count = count_contributions(corpus)
        self.next_id = 1
        self.recent = {}  # body digest -> time of submission
        self.accepted = []  # parsed contributions, in the order accepted
        self.holds = {}  # key -> Event that /release sets

    def hold(self, key):
        with self.lock:
            return self.holds.setdefault(key, threading.Event())


def count_contributions(corpus):
    try:
        doc = json.loads(corpus)
    except ValueError:
        return 0
    if isinstance(doc, dict) and isinstance(doc.get("contributions"), list):
        return len(doc["contributions"])
    if isinstance(doc, list):
        return len(doc)
    return 1 if isinstance(doc, dict) else 0


def make_corpus(size):
    """A deterministic corpus document of at least `size` bytes."""
    run = ('{"suite":"core","benchmark":"b%06d","target":"quorl","device":"cpu",'
           '"opt":"O2","arch":"x86_64","samples":[101.5,99.25,100.75,102.0]}')
    entries = []
    total = 80
    i = 0
    while total < size:
        text = run % i
        entries.append(text)
        total += len(text) + 1
        i += 1
    published = ('{"schema":"quorl-bench/1","id":"published-1","machine":{"cpu":"published"},"runs":['
                 '{"suite":"core","benchmark":"b000000","target":"quorl","device":"cpu","opt":"O2",'
                 '"arch":"x86_64","samples_us":[100,101,102]}]}')
    body = ('{"contributions":[{"schema":"quorl-bench/1","machine":{"cpu":"local"},"runs":['
            + ",".join(entries) + ']}],"published":[' + published + ']}')
    return body.encode()


def corpus_with(corpus, accepted):
    """The corpus document with the accepted contributions appended to its
    "contributions"; the stored bytes unchanged while there are none."""
    if not accepted:
        return corpus
    try:
        doc = json.loads(corpus)
    except ValueError:
        doc = None
    if isinstance(doc, dict) and isinstance(doc.get("contributions"), list):
        doc["contributions"].extend(accepted)
    elif isinstance(doc, list):
        doc.extend(accepted)
    else:
        doc = {"contributions": list(accepted)}
    return json.dumps(doc, separators=(",", ":")).encode()


def head_of(kind, size):
    """A reply head of exactly `size` bytes (at least 47) ending in
    Content-Length 2, the rest of it filled as `kind` says."""
    start, end = b"HTTP/1.1 200 OK\r\n", b"Content-Length: 2\r\n\r\n"
    k = max(size - len(start) - len(end), 0)
    if kind == "repeat":
        fill = b"A: b\r\n" * (k // 6) + b"\n" * (k % 6)
    elif kind == "long":
        fill = b"X-Big: " + b"b" * max(k - 9, 0) + b"\r\n"
    else:
        fill = b"\n" * k
    return start + fill + end


def pattern(n):
    unit = bytes(range(32, 127))
    return (unit * (n // len(unit) + 1))[:n]


class Handler(socketserver.BaseRequestHandler):
    def setup(self):
        self.request.settimeout(120)

    def send(self, data):
        self.request.sendall(data)

    def reply(self, status, body, headers=()):
        try:
            reason = http.HTTPStatus(status).phrase
        except ValueError:
            reason = "Unknown"
        head = "HTTP/1.1 %d %s\r\n" % (status, reason)
        head += "Content-Length: %d\r\n" % len(body)
        for name, value in headers:
            head += "%s: %s\r\n" % (name, value)
        head += "Connection: close\r\n\r\n"
        if len(body) > 65536:  # no copy of a large body just to join it to its head
            self.send(head.encode("latin-1"))
            self.send(body)
        else:
            self.send(head.encode("latin-1") + body)

    def json_reply(self, status, doc):
        self.reply(status, json.dumps(doc).encode(), [("Content-Type", "application/json")])

    def read_request(self):
        data = b""
        while b"\r\n\r\n" not in data:
            piece = self.request.recv(65536)
            if not piece:
                return None
            data += piece
            if len(data) > MAX_HEAD:
                return None
        end = data.index(b"\r\n\r\n") + 4
        head = data[:end]
        lines = head[:-4].split(b"\r\n")
        parts = lines[0].split(b" ")
        if len(parts) != 3:
            return None
        fields = {}
        for line in lines[1:]:
            name, _, value = line.partition(b":")
            fields[name.strip().lower().decode("latin-1")] = value.strip().decode("latin-1")
        target = parts[1].decode("latin-1")
        if target.startswith("/early"):
            # No room for more of the body than has come: the client's
            # sending stalls once its own buffer is full.
            self.request.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
            self.early(target[len("/early/"):].split("/"))
            return None
        if target.startswith("/continue/"):
            self.send(b"HTTP/1.1 100 Continue\r\n\r\n"
                      b"HTTP/1.1 103 Early Hints\r\nLink: </style.css>; rel=preload\r\n\r\n")
            parts[1] = target[len("/continue"):].encode("latin-1")
        length = int(fields.get("content-length", "0") or "0")
        if length > MAX_BODY:
            return None
        # One buffer that grows in place: a body of many megabytes is read in
        # time linear in its size, however small the pieces the socket gives.
        body = bytearray(data[end:])
        while len(body) < length:
            piece = self.request.recv(min(1 << 20, length - len(body)))
            if not piece:
                return None
            body += piece
        body = bytes(body)
        return parts[0].decode(), parts[1].decode("latin-1"), fields, head + body, body

    def finish(self):
        # A TLS reply ends with its close notice, as real servers send it,
        # so that a client can tell the end of the stream from a cut; with
        # notify=0, or after an early refusal, it is left out, and closing
        # the socket sends none.
        if isinstance(self.request, ssl.SSLSocket) and getattr(self, "notify", True) \
                and not getattr(self, "abrupt", False):
            try:
                self.request.settimeout(2)
                self.request.unwrap()
            except (OSError, ValueError):
                pass

    def alive(self):
        return time.time() < self.server.state.deadline

    def handle(self):
        self.notify = True
        try:
            request = self.read_request()
            if request is None:
                return
            method, target, fields, raw, body = request
            url = urllib.parse.urlsplit(target)
            query = dict(urllib.parse.parse_qsl(url.query, keep_blank_values=True))
            self.notify = query.get("notify") != "0"
            self.dispatch(method, url.path, query, fields, raw, body)
        except (OSError, ValueError):
            pass

    def dispatch(self, method, path, query, fields, raw, body):
        state = self.server.state
        if path == "/benchmarks/corpus.php" or (path.startswith("/bigreply/") and method == "GET"):
            with state.lock:
                accepted = list(state.accepted)
            self.reply(200, corpus_with(state.corpus, accepted), [("Content-Type", "application/json")])
        elif path == "/benchmarks/submit.php":
            self.submit(method, body)
        elif path == "/echo":
            self.reply(200, raw)
        elif path.startswith("/status/"):
            code = int(path[len("/status/"):])
            self.reply(code, b"status %d" % code)
        elif path == "/redirect":
            self.reply(int(query.get("code", "302")), b"", [("Location", query.get("to", "/"))])
        elif path.startswith("/chain/"):
            self.chain(int(path[len("/chain/"):]), query.get("mode", "rel"), fields)
        elif path == "/loop":
            self.reply(302, b"", [("Location", "/loop")])
        elif path == "/chunked":
            self.chunked(int(query.get("n", "1000")), int(query.get("size", "100")))
        elif path == "/badchunk":
            self.badchunk(query.get("kind", "nolast"))
        elif path == "/short":
            self.send(b"HTTP/1.1 200 OK\r\nContent-Length: 100\r\nConnection: close\r\n\r\n" + pattern(10))
        elif path == "/length":
            self.send(("HTTP/1.1 200 OK\r\nContent-Length: %s\r\nConnection: close\r\n\r\n"
                       % query.get("value", "")).encode("latin-1") + pattern(int(query.get("n", "10"))))
        elif path == "/bigheader":
            self.reply(200, b"ok", [("X-Big", "b" * int(query.get("size", "100000")))])
        elif path == "/head":
            self.send(head_of(query.get("kind", "empty"), int(query.get("bytes", "65536"))) + b"ok")
        elif path == "/endlessheader":
            self.send(b"HTTP/1.1 200 OK\r\nX-Endless: ")
            self.stream(b"h" * 65536)
        elif path == "/endless":
            self.send(b"HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n")
            self.stream(pattern(65536))
        elif path == "/slow":
            end = time.time() + float(query.get("delay", "5"))
            while time.time() < end and self.alive():
                time.sleep(0.05)
            self.reply(200, b"slow")
        elif path == "/trickle":
            every = float(query.get("every", "0.2"))
            self.send(b"HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n")
            while self.alive():
                self.send(b"t")
                time.sleep(every)
        elif path == "/hold":
            event = state.hold(query.get("key", ""))
            while not event.wait(0.1):
                if not self.alive():
                    return
            self.reply(200, b"released")
        elif path == "/release":
            state.hold(query.get("key", "")).set()
            self.reply(200, b"ok")
        elif path == "/close":
            return
        elif path == "/raw":
            self.send(binascii.unhexlify(query.get("hex", "")))
            end = time.time() + float(query.get("hold", "0"))
            while time.time() < end and self.alive():
                time.sleep(0.05)
        elif path.startswith("/bigreply/"):
            self.empties(int(path[len("/bigreply/"):]))
        elif path.startswith("/raw/"):
            self.send(binascii.unhexlify(path[len("/raw/"):]))
        elif path.startswith("/long/"):
            # /long/FIELD/N: a reply whose FIELD is N letters long, and a count
            field, _, n = path[len("/long/"):].partition("/")
            self.json_reply(200, {field: "w" * int(n), "count": 1})
        else:
            self.reply(404, b"not found")

    def early(self, rest):
        self.json_reply(413, {"error": "a contribution is at most 1 MB"})
        hold = float(rest[0] or "0")
        self.abrupt = True
        if hold > 0:
            if rest[1:] != ["open"]:
                self.request.shutdown(socket.SHUT_WR)
            end = time.time() + hold
            while time.time() < end and self.alive():
                time.sleep(0.05)

    def empties(self, size):
        count = max((size - 4) // 3, 0)  # "[{}" + ",{}" * count + "]"
        self.send(b"HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: %d\r\n"
                  b"Connection: close\r\n\r\n[{}" % (4 + 3 * count))
        piece = b",{}" * 21845
        left = count
        while left > 0 and self.alive():
            n = min(left, len(piece) // 3)
            self.send(piece[:3 * n])
            left -= n
        self.send(b"]")

    def stream(self, piece):
        while self.alive():
            self.send(piece)

    def chain(self, n, mode, fields):
        if n <= 0:
            self.reply(200, b"done")
            return
        if mode == "abs":
            scheme = "https" if self.server.secure else "http"
            location = "%s://%s/chain/%d?mode=abs" % (scheme, fields.get("host", ""), n - 1)
        elif mode == "root":
            location = "/chain/%d?mode=root" % (n - 1)
        else:
            location = "%d?mode=rel" % (n - 1)
        self.reply(302, b"", [("Location", location)])

    def chunked(self, n, size):
        data = pattern(n)
        out = b"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nConnection: close\r\n\r\n"
        for i in range(0, n, max(size, 1)):
            piece = data[i:i + size]
            out += b"%x\r\n" % len(piece) + piece + b"\r\n"
        self.send(out + b"0\r\n\r\n")

    def badchunk(self, kind):
        head = b"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nConnection: close\r\n\r\n"
        bodies = {
            "nolast": b"5\r\nhello\r\n",
            "overflow": b"5\r\nhello\r\n100000005\r\nworld\r\n0\r\n\r\n",
            "huge": b"5\r\nhello\r\nffffffff\r\nworld\r\n0\r\n\r\n",
            "short": b"5\r\nhello\r\n20\r\nworld",
            "garbage": b"5\r\nhello\r\nzz\r\n",
        }
        self.send(head + bodies.get(kind, b""))

    def submit(self, method, body):
        state = self.server.state
        if method != "POST":
            self.json_reply(405, {"error": "submit with POST"})
            return
        try:
            doc = json.loads(body)
        except ValueError:
            self.json_reply(400, {"error": "the body is not JSON"})
            return
        if not isinstance(doc, dict):
            self.json_reply(400, {"error": "a contribution is a JSON object"})
            return
        digest = hashlib.sha256(body).hexdigest()
        now = time.time()
        with state.lock:
            last = state.recent.get(digest)
            if last is not None and now - last < DUPLICATE_WINDOW:
                self.json_reply(429, {"error": "this contribution was just submitted"})
                return
            state.recent[digest] = now
            state.accepted.append(doc)
            state.count += 1
            ident = state.next_id
            state.next_id += 1
            count = state.count
        self.json_reply(200, {"id": ident, "count": count})


class Server(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True

    def __init__(self, state, context=None, host="127.0.0.1"):
        if ":" in host:
            self.address_family = socket.AF_INET6
        super().__init__((host, 0), Handler)
        self.state = state
        self.context = context
        self.secure = context is not None

    def get_request(self):
        sock, address = super().get_request()
        if self.context is not None:
            sock.settimeout(30)
            sock = self.context.wrap_socket(sock, server_side=True, do_handshake_on_connect=False)
        return sock, address

    def process_request_thread(self, request, client_address):
        if self.context is not None:
            try:
                request.do_handshake()
            except (OSError, ssl.SSLError):
                self.shutdown_request(request)
                return
        super().process_request_thread(request, client_address)


def tls_context(cert, key, old=False):
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    if old:
        # Protocols a client must refuse; OpenSSL offers them only at
        # security level 0.
        context.minimum_version = ssl.TLSVersion.TLSv1
        context.maximum_version = ssl.TLSVersion.TLSv1_1
        context.set_ciphers("DEFAULT:@SECLEVEL=0")
    return context


def serve(server):
    thread = threading.Thread(target=server.serve_forever, daemon=True)
    thread.start()
    return thread


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--corpus", help="file served as the corpus")
    parser.add_argument("--corpus-bytes", type=int, default=4096, help="size of a generated corpus")
    parser.add_argument("--cert", help="server certificate (PEM) for HTTPS")
    parser.add_argument("--key", help="server key (PEM) for HTTPS")
    parser.add_argument("--wrong-cert", help="certificate for another host name")
    parser.add_argument("--wrong-key", help="its key")
    parser.add_argument("--expired-cert", help="an expired certificate for this host")
    parser.add_argument("--expired-key", help="its key")
    parser.add_argument("--future-cert", help="a certificate for this host that is not valid yet")
    parser.add_argument("--future-key", help="its key")
    parser.add_argument("--listener", nargs=3, action="append", default=[], metavar=("NAME", "CERT", "KEY"),
                        help="also serve CERT as the listener https-NAME")
    parser.add_argument("--old-protocol", action="store_true", help="also serve --cert over TLS 1.0 and 1.1 only")
    parser.add_argument("--lifetime", type=float, default=900.0, help="seconds before the server stops")
    parser.add_argument("--ignore-stdin", action="store_true", help="do not stop when standard input closes")
    args = parser.parse_args()

    if args.corpus:
        with open(args.corpus, "rb") as f:
            corpus = f.read()
    else:
        corpus = make_corpus(args.corpus_bytes)
    state = State(corpus, time.time() + args.lifetime)

    servers = [("http", Server(state))]
    try:  # the IPv6 loopback, where the machine has one
        servers.append(("http6", Server(state, host="::1")))
    except OSError:
        pass
    if args.cert and args.key:
        servers.append(("https", Server(state, tls_context(args.cert, args.key))))
    if args.wrong_cert and args.wrong_key:
        servers.append(("https-wrong", Server(state, tls_context(args.wrong_cert, args.wrong_key))))
    if args.expired_cert and args.expired_key:
        servers.append(("https-expired", Server(state, tls_context(args.expired_cert, args.expired_key))))
    if args.future_cert and args.future_key:
        servers.append(("https-future", Server(state, tls_context(args.future_cert, args.future_key))))
    for name, cert, key in args.listener:
        servers.append(("https-" + name, Server(state, tls_context(cert, key))))
    if args.old_protocol and args.cert and args.key:
        with warnings.catch_warnings():
            warnings.simplefilter("ignore", DeprecationWarning)
            servers.append(("https-old", Server(state, tls_context(args.cert, args.key, old=True))))
    for name, server in servers:
        serve(server)
        print("%s %d" % (name, server.server_address[1]))
    # Connections to it complete in its listen queue and are never read.
    silent = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    silent.bind(("127.0.0.1", 0))
    silent.listen(64)
    print("silent %d" % silent.getsockname()[1])
    print("ready", flush=True)

    done = threading.Event()
    # SIGTERM ends the process at once. Setting `done` from the handler could
    # deadlock: the handler runs on the main thread, which may be holding the
    # event's lock inside done.wait() just as the stdin watcher wakes it
    # (callers close stdin and signal back to back), and the handler would
    # then wait for that lock for ever.
    signal.signal(signal.SIGTERM, lambda *_: os._exit(0))

    def watch_stdin():
        try:
            while sys.stdin.buffer.read(4096):
                pass
        except (OSError, ValueError):
            pass
        done.set()

    if not args.ignore_stdin and not sys.stdin.isatty():
        threading.Thread(target=watch_stdin, daemon=True).start()
    done.wait(max(args.lifetime, 0.0))
    os._exit(0)


if __name__ == "__main__":
    main()
