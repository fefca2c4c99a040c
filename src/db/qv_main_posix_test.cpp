// The data-access component where POSIX differs: configuration folders whose
// names are not UTF-8, FIFOs.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "db/qv_main.h"
#include "platform/numbered_error.h"
#include "platform/utf.h"
#include "tests/fakes/error_of.h"
#include "tests/fakes/temp_folder.h"

namespace corvalen {
namespace {

namespace fs = std::filesystem;
using corvalen::testing::ErrorOf;

TEST(QVMainPosixTest, ASqliteFileBesideAConfigurationWhoseFolderIsNotUtf8OpensAndAFifoIsRefused) {
  corvalen::testing::TempFolder folder("corvalen-qv");
  const fs::path conf = folder.path() / "conf\xFF";
  fs::create_directories(conf / "data");
  { std::ofstream(conf / "data" / "ncm.db"); }
  ASSERT_EQ(mkfifo((conf / "fifo").c_str(), 0600), 0);
  std::ofstream(conf / "quorvexconfig.ini")
      << "[NCM]\nProvider = SQLite\nConnection = data/ncm.db\n"
         "[PERSONAL]\nProvider = sqlite\nConnection = data/personal.db\n"
         "[FIFO]\nProvider=sqlite\nConnection=fifo\n";
  QVMain qv;
  qv.setParametersPath(NativeToUtf16((conf / "quorvexconfig.ini").string()));
  qv.LoadParameters();
  EXPECT_NE(qv.getDataConnectionByEntity(u"ncm")->GetAssemblyConnection(), nullptr);

  const std::u16string shown = Utf8ToUtf16((folder.path() / "conf\uFFFD").string());
  EXPECT_EQ(ErrorOf([&] { qv.getDataConnectionByEntity(u"PERSONAL")->GetAssemblyConnection(); })
                .description(),
            u"No existe la base de datos SQLite \"" + shown + u"/data/personal.db\".");
  NumberedError error =
      ErrorOf([&] { qv.getDataConnectionByEntity(u"FIFO")->GetAssemblyConnection(); });
  EXPECT_EQ(error.number(), kErrInvalidArgument);
  EXPECT_EQ(error.description(),
            u"La clave Connection de la entidad \"FIFO\" no nombra un archivo de base de datos "
            u"SQLite: \"" + shown + u"/fifo\" no es un archivo normal.");
}

}  // namespace
}  // namespace corvalen
