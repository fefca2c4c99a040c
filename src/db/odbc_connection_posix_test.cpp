// ODBC where the test needs POSIX: a server made of a bare socket.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

#include "db/odbc_connection.h"
#include "platform/numbered_error.h"
#include "platform/utf.h"
#include "tests/fakes/error_of.h"

namespace corvalen {
namespace {

using corvalen::testing::ErrorOf;

// A TCP port on 127.0.0.1 that accepts connections and never answers: a
// server that hangs during login.
class SilentServer {
 public:
  SilentServer() {
    fd_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    listen(fd_, 8);
    socklen_t length = sizeof(address);
    getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
  }
  ~SilentServer() { close(fd_); }
  SilentServer(const SilentServer&) = delete;
  SilentServer& operator=(const SilentServer&) = delete;
  int port() const { return port_; }

 private:
  int fd_ = -1;
  int port_ = 0;
};

TEST(OdbcConnectTest, AServerThatNeverAnswersFailsWithinTheLoginTimeout) {
  // A server that takes the connection and never answers: the login timeout
  // ends the wait.
  SilentServer silent;
  OdbcOptions options;
  options.login_timeout_seconds = 1;
  const auto start = std::chrono::steady_clock::now();
  NumberedError error = ErrorOf([&] {
    OpenOdbcConnection(u"Driver=FreeTDS;Server=127.0.0.1;Port=" + ToDecimal(silent.port()) +
                           u";Database=x;UID=sa;PWD=Zq9-very-secret;TDS_Version=7.4",
                       options);
  });
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(error.description(),
            u"[FreeTDS][SQL Server]Timeout expired\r\n"
            u"[FreeTDS][SQL Server]Unable to connect to data source");
  EXPECT_LT(seconds, 15.0) << "the login timeout was not applied";
}

}  // namespace
}  // namespace corvalen
