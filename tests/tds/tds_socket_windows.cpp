#include <winsock2.h>
#include <ws2tcpip.h>

#include "tests/tds/tds_socket.h"

namespace corvalen::testing {
namespace {

// Winsock wants starting once per process.
void StartWinsock() {
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  (void)started;
}

SOCKET S(SocketHandle socket) { return static_cast<SOCKET>(socket); }

}  // namespace

SocketHandle ListenOnLoopback(int* port) {
  StartWinsock();
  const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) return kNoSocket;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int length = sizeof(address);
  if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 || listen(s, 16) != 0 ||
      getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    closesocket(s);
    return kNoSocket;
  }
  *port = ntohs(address.sin_port);
  return static_cast<SocketHandle>(s);
}

SocketHandle AcceptConnection(SocketHandle listener) {
  const SOCKET s = accept(S(listener), nullptr, nullptr);
  return s == INVALID_SOCKET ? kNoSocket : static_cast<SocketHandle>(s);
}

int WaitReadable(SocketHandle socket, int timeout_ms) {
  WSAPOLLFD p{S(socket), POLLRDNORM, 0};
  const int n = WSAPoll(&p, 1, timeout_ms);
  return n < 0 ? -1 : (n > 0 ? 1 : 0);
}

long ReceiveSome(SocketHandle socket, uint8_t* data, size_t size) {
  return recv(S(socket), reinterpret_cast<char*>(data), static_cast<int>(size), 0);
}

bool SendAll(SocketHandle socket, const uint8_t* data, size_t size) {
  while (size > 0) {
    const int n = send(S(socket), reinterpret_cast<const char*>(data), static_cast<int>(size), 0);
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

void CloseSocket(SocketHandle socket) {
  if (socket != kNoSocket) closesocket(S(socket));
}

}  // namespace corvalen::testing
