#include "db/qv_main.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "platform/numbered_error.h"
#include "platform/utf.h"
#include "tests/fakes/temp_folder.h"
#include "tests/fakes/error_of.h"

namespace corvalen {
namespace {

namespace fs = std::filesystem;

constexpr char kSecret[] = "Zq9!s3cr3t";

std::u16string Fixture(const std::string& name) {
  return Utf8ToUtf16(std::string(CORVALEN_TEST_DATA) + "/config/" + name);
}

using corvalen::testing::ErrorOf;

class QVMainTest : public ::testing::Test {
 protected:
  QVMainTest() {
    setenv("CORVALEN_TEST_SECRET", kSecret, 1);
    unsetenv("CORVALEN_TEST_UNDEFINED");
    fs::create_directories(dir_ / "data");
  }
  ~QVMainTest() override {
    unsetenv("CORVALEN_TEST_SECRET");
    unsetenv("CORVALEN_TEST_PROVIDER");
  }

  // A component loaded from `path`.
  std::unique_ptr<QVMain> Loaded(const std::u16string& path) {
    auto qv = std::make_unique<QVMain>();
    qv->setParametersPath(path);
    qv->LoadParameters();
    return qv;
  }
  // Writes quorvexconfig.ini into the temporary folder and returns its path.
  std::u16string WriteConfig(const std::string& text) {
    return Utf8ToUtf16(folder_.Write("quorvexconfig.ini", text).string());
  }
  // The description of a failure, checked to hold no secret.
  static std::u16string Clean(const NumberedError& error) {
    const std::string text = Utf16ToUtf8(error.description());
    EXPECT_EQ(text.find(kSecret), std::string::npos) << text;
    return error.description();
  }

  corvalen::testing::TempFolder folder_{"corvalen-qv"};
  fs::path dir_ = folder_.path();
};

TEST_F(QVMainTest, ReportsEachEntitysTagAsWrittenOrTheDefault) {
  auto qv = Loaded(Fixture("good.ini"));
  EXPECT_EQ(qv->getDataConnectionTAG(u"CATALOGOS"), u"SQLSERVER");
  EXPECT_EQ(qv->getDataConnectionTAG(u"Ncm"), u"SQLSERVER");  // no Tag: the default
  EXPECT_EQ(qv->getDataConnectionTAG(u"HISTORIAL"), u"ACCESS");

  setenv("CORVALEN_TEST_TAG", "Access ", 1);
  qv = Loaded(WriteConfig("[NCM]\nTag=${CORVALEN_TEST_TAG}\nConnection=x\n"));
  EXPECT_EQ(qv->getDataConnectionTAG(u"NCM"), u"Access ");
  unsetenv("CORVALEN_TEST_TAG");
}

TEST_F(QVMainTest, EachBadConfigurationHasAClearMessageWithoutSecrets) {
  const std::u16string good = Fixture("good.ini");
  auto qv = Loaded(good);
  EXPECT_EQ(Clean(ErrorOf([&] { qv->getDataConnectionTAG(u"PERSONAL"); })),
            u"La entidad \"PERSONAL\" no está configurada en el archivo \"" + good + u"\".");
  EXPECT_EQ(Clean(ErrorOf([&] { qv->getDataConnectionByEntity(u"PERSONAL"); })),
            u"La entidad \"PERSONAL\" no está configurada en el archivo \"" + good + u"\".");

  QVMain fresh;
  EXPECT_EQ(Clean(ErrorOf([&] { fresh.getDataConnectionTAG(u"NCM"); })),
            u"La configuración no está cargada: falta llamar a LoadParameters.");
  const std::u16string missing = Fixture("absent/quorvexconfig.ini");
  fresh.setParametersPath(missing);
  EXPECT_EQ(Clean(ErrorOf([&] { fresh.LoadParameters(); })),
            u"No se encontró el archivo de configuración \"" + missing + u"\".");

  const std::u16string malformed = Fixture("bad_no_separator.ini");
  fresh.setParametersPath(malformed);
  EXPECT_EQ(Clean(ErrorOf([&] { fresh.LoadParameters(); })),
            u"Línea 4 mal formada en el archivo de configuración \"" + malformed + u"\".");

  setenv("CORVALEN_TEST_PROVIDER", kSecret, 1);
  qv = Loaded(Fixture("unknown_provider.ini"));
  EXPECT_EQ(Clean(ErrorOf([&] { qv->getDataConnectionByEntity(u"NCM"); })),
            u"Proveedor \"oracle\" desconocido para la entidad \"NCM\": se admite odbc o sqlite.");
  EXPECT_EQ(Clean(ErrorOf([&] { qv->getDataConnectionByEntity(u"PERSONAL"); })),
            u"Proveedor \"${CORVALEN_TEST_PROVIDER}\" desconocido para la entidad \"PERSONAL\": "
            u"se admite odbc o sqlite.");

  qv = Loaded(Fixture("undefined_variable.ini"));
  EXPECT_EQ(Clean(ErrorOf([&] { qv->getDataConnectionByEntity(u"CATALOGOS"); })),
            u"La variable de entorno \"CORVALEN_TEST_UNDEFINED\" no está definida "
            u"(clave Connection de la entidad \"CATALOGOS\").");
  EXPECT_EQ(Clean(ErrorOf([&] { qv->getDataConnectionTAG(u"NCM"); })),
            u"La variable de entorno \"CORVALEN_TEST_UNDEFINED\" no está definida "
            u"(clave Tag de la entidad \"NCM\").");

  const std::u16string no_connection = Fixture("missing_connection.ini");
  qv = Loaded(no_connection);
  EXPECT_EQ(Clean(ErrorOf([&] { qv->getDataConnectionByEntity(u"CATALOGOS"); })),
            u"Falta la clave Connection de la entidad \"CATALOGOS\" en el archivo \"" +
                no_connection + u"\".");

  qv = Loaded(Fixture("bad_timeout.ini"));
  EXPECT_EQ(Clean(ErrorOf([&] { qv->getDataConnectionByEntity(u"CATALOGOS"); })),
            u"El valor de LoginTimeout de la entidad \"CATALOGOS\" no es un número de segundos "
            u"entre 0 y 86400.");
}

TEST_F(QVMainTest, DriverMessagesLoseVariableValuesAndPasswords) {
  // The driver manager repeats the driver's name; here it comes from a variable.
  auto qv = Loaded(WriteConfig(
      "[CATALOGOS]\nConnection=Driver=${CORVALEN_TEST_SECRET};Server=x\n"
      "[NCM]\nConnection=Driver=FreeTDS;Server=127.0.0.1;Port=1;UID=sa;PWD=" +
      std::string(kSecret) + ";TDS_Version=7.4\nLoginTimeout=2\n"));
  auto data = qv->getDataConnectionByEntity(u"CATALOGOS");
  EXPECT_EQ(Clean(ErrorOf([&] { data->GetAssemblyConnection(); })),
            u"[unixODBC][Driver Manager]Can't open lib '***' : file not found");
  data = qv->getDataConnectionByEntity(u"NCM");
  Clean(ErrorOf([&] { data->GetAssemblyConnection(); }));
}

TEST_F(QVMainTest, ASqliteFileIsFoundBesideTheConfigurationAndNeverCreated) {
  {
    std::ofstream(dir_ / "data" / "ncm.db");  // an empty file is an empty database
  }
  auto qv = Loaded(WriteConfig("[NCM]\nProvider = SQLite\nConnection = data/ncm.db\n"
                               "[PERSONAL]\nProvider = sqlite\nConnection = data/personal.db\n"));
  auto data = qv->getDataConnectionByEntity(u"ncm");
  std::shared_ptr<Connection> db = data->GetAssemblyConnection();
  ASSERT_NE(db, nullptr);
  db->BeginTrans();
  db->Execute(u"CREATE TABLE t(a); INSERT INTO t VALUES (1)");
  db->CommitTrans();

  const std::u16string expected = Utf8ToUtf16((dir_ / "data" / "personal.db").string());
  data = qv->getDataConnectionByEntity(u"PERSONAL");
  EXPECT_EQ(Clean(ErrorOf([&] { data->GetAssemblyConnection(); })),
            u"No existe la base de datos SQLite \"" + expected + u"\".");
  EXPECT_FALSE(fs::exists(dir_ / "data" / "personal.db"));
}

TEST_F(QVMainTest, AnOdbcEntityGivesAnOpenConnectionToThePostgresServer) {
  const char* conn = std::getenv("CORVALEN_TEST_PG_CONN");
  if (conn == nullptr || *conn == '\0') GTEST_SKIP() << "CORVALEN_TEST_PG_CONN is not set";
  auto qv = Loaded(WriteConfig("[Catalogos]\nTag=POSTGRES\nConnection=${CORVALEN_TEST_PG_CONN}\n"));
  EXPECT_EQ(qv->getDataConnectionTAG(u"CATALOGOS"), u"POSTGRES");
  std::shared_ptr<Connection> db = qv->getDataConnectionByEntity(u"CATALOGOS")->GetAssemblyConnection();
  db->BeginTrans();
  db->Execute(u"CREATE TEMPORARY TABLE t(a integer); INSERT INTO t VALUES (1); SELECT * FROM t");
  db->RollbackTrans();
}

TEST_F(QVMainTest, TheFactoryMakesANewInstanceEachTime) {
  ComponentFactory factory = QVMainFactory();
  auto first = factory();
  auto second = factory();
  ASSERT_NE(first, nullptr);
  EXPECT_NE(first, second);
  EXPECT_NE(dynamic_cast<QVMain*>(first.get()), nullptr);
}

}  // namespace
}  // namespace corvalen
