// The few socket calls the TDS test server needs, one variant per system
// (tds_socket_posix.cpp, tds_socket_windows.cpp).
#ifndef CORVALEN_TESTS_TDS_TDS_SOCKET_H_
#define CORVALEN_TESTS_TDS_TDS_SOCKET_H_

#include <cstddef>
#include <cstdint>

namespace corvalen::testing {

using SocketHandle = intptr_t;
inline constexpr SocketHandle kNoSocket = -1;

// A socket listening on a free port of 127.0.0.1; the port goes to `port`.
// kNoSocket on failure.
SocketHandle ListenOnLoopback(int* port);
// The next connection waiting on `listener`, or kNoSocket.
SocketHandle AcceptConnection(SocketHandle listener);
// 1 when `socket` has something to read (or was closed), 0 after
// `timeout_ms` without, -1 on error.
int WaitReadable(SocketHandle socket, int timeout_ms);
// Up to `size` bytes; 0 when the peer closed, negative on error.
long ReceiveSome(SocketHandle socket, uint8_t* data, size_t size);
// Sends everything; false when the peer is gone.
bool SendAll(SocketHandle socket, const uint8_t* data, size_t size);
void CloseSocket(SocketHandle socket);

}  // namespace corvalen::testing

#endif  // CORVALEN_TESTS_TDS_TDS_SOCKET_H_
