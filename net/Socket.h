// The operating system's TCP sockets behind one small interface: POSIX
// sockets natively (Socket.posix.cpp), Windows Sockets 2 on Windows
// (Socket.win32.cpp). Everything above this file is portable.
//
// Handles are signed 64-bit values, -1 for none, so that a Windows SOCKET
// (an unsigned pointer-sized value) and a POSIX descriptor both fit.
#pragma once

#include <cstdint>

namespace quorl::SocketIO {

using Handle = int64_t;
inline constexpr Handle kNoHandle = -1;

enum class OpenResult : uint8_t {
  ok,
  startupFailed,   // the socket library would not start (Windows only)
  resolveFailed,   // the name did not resolve, or to nothing
  connectFailed,   // no address accepted a connection in time
};

// Resolves host (IPv4 and IPv6, in the resolver's order) and connects to the
// first address that answers within timeoutMs each; 0 waits without limit.
// On ok, `handle` is a connected, blocking stream socket.
OpenResult open(const char* host, uint32_t port, uint32_t timeoutMs, Handle& handle);

// Time-outs in milliseconds for each later receive and each send; 0 means
// none. Failures are ignored: the socket then keeps its old time-outs.
void setReceiveTimeout(Handle handle, uint32_t milliseconds);
void setSendTimeout(Handle handle, uint32_t milliseconds);

// One send: more than 0 bytes sent, or 0 / below 0 on failure or time-out.
// Never raises SIGPIPE; an interrupted call is repeated.
int32_t send(Handle handle, const void* bytes, uint32_t length);

// One receive: more than 0 bytes read, 0 at the end of the stream, below 0
// on failure or time-out. An interrupted call is repeated.
int32_t receive(Handle handle, void* buffer, uint32_t capacity);

void close(Handle handle);

}  // namespace quorl::SocketIO
