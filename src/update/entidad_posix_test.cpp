// The data-access entity where the test needs POSIX: a server made of a bare
// socket.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

#include "db/qv_main.h"
#include "tests/fakes/recording_window.h"
#include "tests/fakes/temp_folder.h"
#include "update/mod_main.h"

namespace corvalen {
namespace {

using testing::RecordingWindow;

class EntidadQVMainPosixTest : public ::testing::Test {
 protected:
  EntidadQVMainPosixTest() : module_(window_, QVMainFactory()) {
    module_.ConfigPathOverride = folder_.Utf16("quorvexconfig.ini");
  }
  void WriteConfig(const std::string& text) { folder_.Write("quorvexconfig.ini", text); }

  RecordingWindow window_;
  ModMain module_;
  corvalen::testing::TempFolder folder_{"corvalen-ent"};
};

TEST_F(EntidadQVMainPosixTest, AnUnreachableSqlServerFailsAtStatement90WithinTheLoginTimeout) {
  // A port that accepts and never answers, like a server that hangs.
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
  listen(fd, 8);
  socklen_t length = sizeof(address);
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  setenv("CORVALEN_TEST_SQL_PASSWORD", "Zq9-secret!", 1);
  WriteConfig("[CATALOGOS]\nConnection = Driver=FreeTDS;Server=127.0.0.1;Port=" +
              std::to_string(ntohs(address.sin_port)) +
              ";Database=Catalogos;UID=sa;PWD=${CORVALEN_TEST_SQL_PASSWORD};TDS_Version=7.4\n"
              "LoginTimeout = 2\n");
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(module_.EstablecerEntidad(u"CATALOGOS"));
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  close(fd);
  unsetenv("CORVALEN_TEST_SQL_PASSWORD");
  ASSERT_EQ(window_.boxes.size(), 1u);
  EXPECT_EQ(window_.boxes[0].text,
            u"[FreeTDS][SQL Server]Timeout expired\r\n"
            u"[FreeTDS][SQL Server]Unable to connect to data source"
            u"Entidad buscada:CATALOGOS\r\nin CorvalenSQL.Mod_Main.EstablecerEntidad at line 90");
  EXPECT_LT(seconds, 15.0) << "the login timeout was not applied";
  EXPECT_EQ(module_.oConexion, nullptr);
  EXPECT_EQ(module_.oComando, nullptr);
}

}  // namespace
}  // namespace corvalen
