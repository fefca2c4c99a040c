#include "db/qv_main.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "platform/numbered_error.h"
#include "platform/path.h"
#include "platform/utf.h"
#include "tests/fakes/temp_folder.h"
#include "tests/fakes/environment.h"
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
    testing::SetVariable("CORVALEN_TEST_SECRET", kSecret);
    testing::UnsetVariable("CORVALEN_TEST_UNDEFINED");
    fs::create_directories(dir_ / "data");
  }
  ~QVMainTest() override {
    testing::UnsetVariable("CORVALEN_TEST_SECRET");
    testing::UnsetVariable("CORVALEN_TEST_PROVIDER");
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
  // The description of what connecting to `entity` raises.
  static NumberedError ConnectError(QVMain& qv, const std::u16string& entity) {
    return ErrorOf([&] { qv.getDataConnectionByEntity(entity)->GetAssemblyConnection(); });
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

  testing::SetVariable("CORVALEN_TEST_TAG", "Access ");
  qv = Loaded(WriteConfig("[NCM]\nTag=${CORVALEN_TEST_TAG}\nConnection=x\n"));
  EXPECT_EQ(qv->getDataConnectionTAG(u"NCM"), u"Access ");
  testing::UnsetVariable("CORVALEN_TEST_TAG");
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

  testing::SetVariable("CORVALEN_TEST_PROVIDER", kSecret);
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

TEST_F(QVMainTest, ShortValuesOutsideAPasswordAreNoSecretsAndLongOnesHideEveryRun) {
  testing::SetVariable("CORVALEN_TEST_T", "1");
  testing::SetVariable("CORVALEN_TEST_SHORT", "lib");
  testing::SetVariable("CORVALEN_TEST_PWD", "ab1");
  auto qv = Loaded(WriteConfig(
      "[NCM]\nConnection=Driver=${CORVALEN_TEST_SHORT}1;Server=x\nLoginTimeout=${CORVALEN_TEST_T}\n"
      "[PERSONAL]\nConnection=Driver=${CORVALEN_TEST_PWD};PWD={${CORVALEN_TEST_PWD}xyz}\n"));
  EXPECT_EQ(ConnectError(*qv, u"NCM").description(),
            u"[unixODBC][Driver Manager]Can't open lib 'lib1' : file not found");
  EXPECT_EQ(ConnectError(*qv, u"PERSONAL").description(),
            u"[unixODBC][Driver Manager]Can't open lib '***' : file not found");
  testing::UnsetVariable("CORVALEN_TEST_T");
  testing::UnsetVariable("CORVALEN_TEST_SHORT");
  testing::UnsetVariable("CORVALEN_TEST_PWD");

  // PostgreSQL cuts a database name at 63 bytes before it echoes it.
  const char* conn = std::getenv("CORVALEN_TEST_PG_CONN");
  if (conn == nullptr || *conn == '\0') GTEST_SKIP() << "CORVALEN_TEST_PG_CONN is not set";
  std::string text = conn;
  const size_t at = text.find("Database=postgres");
  ASSERT_NE(at, std::string::npos);
  text.replace(at, 17, "Database=${CORVALEN_TEST_SECRET}");
  testing::SetVariable("CORVALEN_TEST_SECRET", (kSecret + std::string(70, 'q')).c_str());
  qv = Loaded(WriteConfig("[NCM]\nConnection=" + text + "\nDialect=postgresql\n"));
  const std::string message = Utf16ToUtf8(Clean(ConnectError(*qv, u"NCM")));
  EXPECT_NE(message.find("database \"***\" does not exist"), std::string::npos) << message;
}

TEST_F(QVMainTest, ASqliteEntityOpensAnExistingRegularFileBesideTheConfigurationAndNothingElse) {
  const fs::path conf = dir_ / "conf";
  fs::create_directories(conf / "data");
  { std::ofstream(conf / "data" / "ncm.db"); }  // an empty file is an empty database
  std::ofstream(conf / "quorvexconfig.ini")
      << "[NCM]\nProvider = SQLite\nConnection = data/ncm.db\n"
         "[PERSONAL]\nProvider = sqlite\nConnection = data/personal.db\n"
         "[VACIA]\nProvider=sqlite\nConnection=\n"
         "[MEMORIA]\nProvider=sqlite\nConnection=:memory:\n"
         "[URI]\nProvider=sqlite\nConnection=File:data/ncm.db?mode=memory\n"
         "[CARPETA]\nProvider=sqlite\nConnection=data\n";
  auto qv = Loaded(folder_.Utf16("conf/quorvexconfig.ini"));
  std::shared_ptr<Connection> db = qv->getDataConnectionByEntity(u"ncm")->GetAssemblyConnection();
  ASSERT_NE(db, nullptr);
  db->BeginTrans();
  db->Execute(u"CREATE TABLE t(a); INSERT INTO t VALUES (1)");
  db->CommitTrans();

  // The configuration's folder and the value, joined by the system's separator.
  const std::u16string folder = Utf8ToUtf16(conf.string()) + kPathSeparator;
  EXPECT_EQ(Clean(ConnectError(*qv, u"PERSONAL")),
            u"No existe la base de datos SQLite \"" + folder + u"data/personal.db\".");
  EXPECT_FALSE(fs::exists(conf / "data" / "personal.db"));

  EXPECT_EQ(Clean(ConnectError(*qv, u"VACIA")),
            u"La clave Connection de la entidad \"VACIA\" está vacía.");
  const std::pair<std::u16string, std::u16string> refused[] = {
      {u"MEMORIA", u"\":memory:\" es una base de datos en memoria, no un archivo"},
      {u"URI", u"se indica la ruta de un archivo, no un URI file:"},
      {u"CARPETA", u"\"" + folder + u"data\" es una carpeta"}};
  for (const auto& [entity, reason] : refused) {
    NumberedError error = ConnectError(*qv, entity);
    EXPECT_EQ(error.number(), kErrInvalidArgument);
    EXPECT_EQ(error.description(), u"La clave Connection de la entidad \"" + entity +
                                       u"\" no nombra un archivo de base de datos SQLite: " +
                                       reason + u".");
  }
}

TEST_F(QVMainTest, CommandTimeoutLimitsEachBatch) {
  { std::ofstream(dir_ / "ncm.db"); }
  auto qv = Loaded(WriteConfig("[NCM]\nProvider=sqlite\nConnection=ncm.db\ncommandtimeout = 1\n"
                               "[CATALOGOS]\nConnection=x\nCommandTimeout=1 s\n"));
  std::shared_ptr<Connection> db = qv->getDataConnectionByEntity(u"NCM")->GetAssemblyConnection();
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(ErrorOf([&] {
              db->Execute(u"WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c "
                          u"WHERE x < 100000000) SELECT count(*) FROM c");
            }).description(),
            u"Se agotó el tiempo de espera del comando (1 s).");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  EXPECT_EQ(Clean(ErrorOf([&] { qv->getDataConnectionByEntity(u"CATALOGOS"); })),
            u"El valor de CommandTimeout de la entidad \"CATALOGOS\" no es un número de segundos "
            u"entre 0 y 86400.");
}

TEST_F(QVMainTest, PiecesPerCallIsOneToTwentyOneAndTwentyOneWhenLeftOut) {
  auto qv = Loaded(WriteConfig("[NCM]\nConnection=x\npiecesPerCall = 1\n[CATALOGOS]\nConnection=x\n"
                               "[PERSONAL]\nConnection=x\nPiecesPerCall=22\n"
                               "[INTERNOS]\nConnection=x\nPiecesPerCall=0\n"
                               "[HISTORIAL]\nConnection=x\nPiecesPerCall=-1\n"));
  EXPECT_EQ(qv->getDataConnectionByEntity(u"NCM")->PiecesPerCall(), 1);
  EXPECT_EQ(qv->getDataConnectionByEntity(u"CATALOGOS")->PiecesPerCall(), kDefaultPiecesPerCall);
  for (const std::u16string entity : {u"PERSONAL", u"INTERNOS", u"HISTORIAL"}) {
    EXPECT_EQ(Clean(ErrorOf([&] { qv->getDataConnectionByEntity(entity); })),
              u"El valor de PiecesPerCall de la entidad \"" + entity +
                  u"\" no es un número de piezas entre 1 y 21.");
  }
}

TEST_F(QVMainTest, DialectDefaultsByProviderAndMustFitIt) {
  auto qv = Loaded(WriteConfig(
      "[NCM]\nConnection=x\n[PERSONAL]\nProvider=sqlite\nConnection=p.db\n"
      "[CATALOGOS]\nConnection=x\nDialect = PostgreSQL \n[INTERNOS]\nConnection=x\nDialect=mysql\n"
      "[HISTORIAL]\nProvider=sqlite\nConnection=h.db\nDialect=sqlserver\n"
      "[SYSTABLAS]\nConnection=x\nDialect=sqlite\n"));
  EXPECT_EQ(qv->getDataConnectionByEntity(u"NCM")->Dialect(), Dialect::kSqlServer);
  EXPECT_EQ(qv->getDataConnectionByEntity(u"PERSONAL")->Dialect(), Dialect::kSqlite);
  EXPECT_EQ(qv->getDataConnectionByEntity(u"CATALOGOS")->Dialect(), Dialect::kPostgresql);
  EXPECT_EQ(Clean(ErrorOf([&] { qv->getDataConnectionByEntity(u"INTERNOS"); })),
            u"El valor de Dialect de la entidad \"INTERNOS\" (\"mysql\") no es sqlserver, "
            u"postgresql ni sqlite.");
  EXPECT_EQ(ErrorOf([&] { qv->getDataConnectionByEntity(u"HISTORIAL"); }).number(), 5);
  EXPECT_EQ(ErrorOf([&] { qv->getDataConnectionByEntity(u"SYSTABLAS"); }).number(), 5);
}

TEST_F(QVMainTest, AnOdbcEntityGivesAnOpenConnectionToThePostgresServerOfItsDialect) {
  const char* conn = std::getenv("CORVALEN_TEST_PG_CONN");
  if (conn == nullptr || *conn == '\0') GTEST_SKIP() << "CORVALEN_TEST_PG_CONN is not set";
  auto qv = Loaded(WriteConfig(
      "[Catalogos]\nTag=POSTGRES\nConnection=${CORVALEN_TEST_PG_CONN}\nDialect=postgresql\n"
      "[NCM]\nConnection=" + std::string(conn) + "\n"));
  EXPECT_EQ(qv->getDataConnectionTAG(u"CATALOGOS"), u"POSTGRES");
  std::shared_ptr<Connection> db = qv->getDataConnectionByEntity(u"CATALOGOS")->GetAssemblyConnection();
  db->BeginTrans();
  db->Execute(u"CREATE TEMPORARY TABLE t(a integer); INSERT INTO t VALUES (1); SELECT * FROM t");
  db->RollbackTrans();
  // Left to its default, the entity is SQL Server's: the server says otherwise.
  // (Written out, not through a variable, whose whole value would be a secret.)
  const NumberedError mismatch = ConnectError(*qv, u"NCM");
  EXPECT_EQ(mismatch.number(), 5);
  EXPECT_EQ(Clean(mismatch), u"La entidad \"NCM\" tiene Dialect = sqlserver, pero el servidor al "
                             u"que lleva su conexión es \"PostgreSQL\": corrija Dialect en la "
                             u"configuración.");
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
