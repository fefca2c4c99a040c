#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "tests/tds/tds_socket.h"

namespace corvalen::testing {

SocketHandle ListenOnLoopback(int* port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return kNoSocket;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof(address);
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
      listen(fd, 16) != 0 || getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    close(fd);
    return kNoSocket;
  }
  *port = ntohs(address.sin_port);
  return fd;
}

SocketHandle AcceptConnection(SocketHandle listener) {
  const int fd = accept4(static_cast<int>(listener), nullptr, nullptr, SOCK_CLOEXEC);
  return fd < 0 ? kNoSocket : fd;
}

int WaitReadable(SocketHandle socket, int timeout_ms) {
  pollfd p{static_cast<int>(socket), POLLIN, 0};
  const int n = poll(&p, 1, timeout_ms);
  return n < 0 ? -1 : (n > 0 ? 1 : 0);
}

long ReceiveSome(SocketHandle socket, uint8_t* data, size_t size) {
  return recv(static_cast<int>(socket), data, size, 0);
}

bool SendAll(SocketHandle socket, const uint8_t* data, size_t size) {
  while (size > 0) {
    const ssize_t n = send(static_cast<int>(socket), data, size, MSG_NOSIGNAL);
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

void CloseSocket(SocketHandle socket) {
  if (socket != kNoSocket) close(static_cast<int>(socket));
}

}  // namespace corvalen::testing
