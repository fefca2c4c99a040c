#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "db/qv_main.h"
#include "platform/path.h"
#include "platform/utf.h"
#include "tests/fakes/environment.h"
#include "tests/fakes/recording_connection.h"
#include "tests/fakes/recording_window.h"
#include "update/mod_main.h"
#include "tests/fakes/temp_folder.h"

namespace corvalen {
namespace {

namespace fs = std::filesystem;
using testing::Journal;
using testing::RecordingComponent;
using testing::RecordingConnection;
using testing::RecordingWindow;

constexpr char16_t kTitle[] = u"CorvalenSQL v." CORVALEN_VERSION;

// Where the configuration is looked for under `program_files`.
std::string ConfigUnder(const std::u16string& program_files) {
  return Utf16ToUtf8(program_files + kPathSeparator + u"Marvento" + kPathSeparator +
                     u"quorvexconfig.ini");
}

// The program-files folder as the platform reads it: ProgramFiles, and on
// 64-bit Windows ProgramFiles(x86); the tests set (and remove) both.
void SetProgramFiles(const char* folder) {
  testing::SetVariable("ProgramFiles", folder);
  testing::SetVariable("ProgramFiles(x86)", folder);
}
void UnsetProgramFiles() {
  testing::UnsetVariable("ProgramFiles");
  testing::UnsetVariable("ProgramFiles(x86)");
}

// The module with a component factory that hands out RecordingComponents
// sharing one journal and one table of entities.
class EntidadTest : public ::testing::Test {
 protected:
  EntidadTest() : module_(window_, [this] { return MakeComponent(); }) {
    SetProgramFiles("/opt/Program Files (x86)");
    conn1_ = std::make_shared<RecordingConnection>("conn1", journal_);
    conn2_ = std::make_shared<RecordingConnection>("conn2", journal_);
    (*entities_)[u"CATALOGOS"] = {u"SQLSERVER", conn1_};
    (*entities_)[u"NCM"] = {u"SQLSERVER", conn2_};
  }
  ~EntidadTest() override { UnsetProgramFiles(); }

  std::shared_ptr<DataAccessComponent> MakeComponent() {
    journal_->push_back("component.created");
    if (factory_error_) throw NumberedError(*factory_error_);
    if (factory_returns_null_) return nullptr;
    auto component = std::make_shared<RecordingComponent>(journal_, entities_);
    component->errors = next_errors_;
    made_.push_back(component);
    return component;
  }

  // The module's state after a first successful call for CATALOGOS, with the
  // test no longer holding the first connection.
  void ConnectFirstEntity() {
    auto& first = (*entities_)[u"CATALOGOS"].connection;
    if (!first) first = std::make_shared<RecordingConnection>("conn1", journal_);
    ASSERT_TRUE(module_.EstablecerEntidad(u"CATALOGOS"));
    (*entities_)[u"CATALOGOS"].connection.reset();
    conn1_.reset();
    first_component_ = module_.oComponente;
    first_connection_ = module_.oConexion;
    first_command_ = module_.oComando;
    journal_->clear();
  }

  // "<description>Entidad buscada:<entity>\r\nin ... at line <n>"
  static std::u16string Report(const std::u16string& description, const std::u16string& entity,
                               int line) {
    return description + u"Entidad buscada:" + entity +
           u"\r\nin CorvalenSQL.Mod_Main.EstablecerEntidad at line " + ToDecimal(line);
  }
  void ExpectOneBox(const std::u16string& text) {
    ASSERT_EQ(window_.boxes.size(), 1u);
    EXPECT_EQ(Utf16ToUtf8(window_.boxes[0].text), Utf16ToUtf8(text));
    EXPECT_EQ(window_.boxes[0].title, kTitle);
    EXPECT_EQ(window_.boxes[0].icon, MessageIcon::kExclamation);
  }
  bool Logged(const std::string& line) const {
    return std::find(journal_->begin(), journal_->end(), line) != journal_->end();
  }

  RecordingWindow window_;
  std::shared_ptr<Journal> journal_ = std::make_shared<Journal>();
  std::shared_ptr<std::map<std::u16string, RecordingComponent::Entity>> entities_ =
      std::make_shared<std::map<std::u16string, RecordingComponent::Entity>>();
  std::shared_ptr<RecordingConnection> conn1_, conn2_;
  std::map<std::string, std::u16string> next_errors_;
  std::optional<int32_t> factory_error_;
  bool factory_returns_null_ = false;
  std::vector<std::weak_ptr<RecordingComponent>> made_;
  ModMain module_;

  std::weak_ptr<DataAccessComponent> first_component_;
  std::weak_ptr<Connection> first_connection_;
  std::weak_ptr<Command> first_command_;
};

TEST_F(EntidadTest, TakesTheEntitysConnectionAndBindsANewCommandToIt) {
  EXPECT_TRUE(module_.EstablecerEntidad(u"CATALOGOS"));
  EXPECT_EQ(*journal_, (Journal{
                           "component.created",
                           "component.setParametersPath " + ConfigUnder(u"/opt/Program Files (x86)"),
                           "component.LoadParameters",
                           "component.getDataConnectionTAG CATALOGOS",
                           "component.getDataConnectionByEntity CATALOGOS",
                       }));
  EXPECT_EQ(module_.oComponente, made_.at(0).lock());
  EXPECT_EQ(module_.oConexion, conn1_);
  ASSERT_NE(module_.oComando, nullptr);
  EXPECT_EQ(module_.oComando->ActiveConnection, conn1_);
  EXPECT_TRUE(window_.events.empty()) << "nothing is shown and no events are let through";
  // Nothing is executed on the connection.
  EXPECT_TRUE(conn1_->executed.empty());

  // Without ProgramFiles the folder is just "/Marvento/".
  UnsetProgramFiles();
  journal_->clear();
  EXPECT_TRUE(module_.EstablecerEntidad(u"NCM"));
  EXPECT_EQ(journal_->at(1), "component.setParametersPath " + ConfigUnder(u""));
}

TEST_F(EntidadTest, TheTagAccessEndsTheProgramWithoutAMessage) {
  ConnectFirstEntity();
  (*entities_)[u"NCM"].tag = u"ACCESS";
  try {
    module_.EstablecerEntidad(u"NCM");
    FAIL() << "the program should have ended";
  } catch (const ProgramEnded& end) {
    EXPECT_EQ(end.reason, EndReason::kAccessTag);
  }
  EXPECT_TRUE(window_.boxes.empty());
  EXPECT_EQ(window_.events, std::vector<std::string>{"end 2"});
  EXPECT_FALSE(Logged("component.getDataConnectionByEntity NCM"));
  // The previous entity's connection and command are still held.
  EXPECT_EQ(module_.oConexion, first_connection_.lock());
  EXPECT_EQ(module_.oComando, first_command_.lock());
  EXPECT_FALSE(Logged("conn1.released"));
}

TEST_F(EntidadTest, ATagThatOnlyResemblesAccessIsNotIt) {
  for (const char16_t* tag : {u"access", u"Access", u"ACCESS ", u" ACCESS", u"ACCES"}) {
    SCOPED_TRACE(Utf16ToUtf8(tag));
    (*entities_)[u"NCM"].tag = tag;
    EXPECT_TRUE(module_.EstablecerEntidad(u"NCM"));
    EXPECT_EQ(module_.oConexion, conn2_);
  }
  EXPECT_TRUE(window_.events.empty());
}

TEST_F(EntidadTest, AComponentThatCannotBeMadeFailsAtStatement10AndChangesNothing) {
  ConnectFirstEntity();
  factory_error_ = kErrCannotCreateObject;
  EXPECT_FALSE(module_.EstablecerEntidad(u"NCM"));
  ExpectOneBox(Report(u"ActiveX component can't create object", u"NCM", 10));
  EXPECT_EQ(module_.oComponente, first_component_.lock());
  EXPECT_EQ(module_.oConexion, first_connection_.lock());
  EXPECT_EQ(module_.oComando, first_command_.lock());

  // A factory that gives nothing, or none at all, is the same failure.
  factory_error_.reset();
  factory_returns_null_ = true;
  window_.boxes.clear();
  EXPECT_FALSE(module_.EstablecerEntidad(u"NCM"));
  ExpectOneBox(Report(u"ActiveX component can't create object", u"NCM", 10));
  EXPECT_EQ(module_.oComponente, first_component_.lock());

  RecordingWindow window;
  ModMain without_factory(window, nullptr);
  EXPECT_FALSE(without_factory.EstablecerEntidad(u"CATALOGOS"));
  ASSERT_EQ(window.boxes.size(), 1u);
  EXPECT_EQ(window.boxes[0].text, Report(u"ActiveX component can't create object", u"CATALOGOS", 10));
  EXPECT_EQ(without_factory.oComponente, nullptr);
}

TEST_F(EntidadTest, ErrorsOfTheComponentAreReportedAtTheirStatement) {
  struct Case {
    const char* member;
    int line;
  };
  for (const Case& c : {Case{"setParametersPath", 30}, Case{"LoadParameters", 40},
                        Case{"getDataConnectionTAG", 50}}) {
    SCOPED_TRACE(c.member);
    ConnectFirstEntity();
    window_.boxes.clear();
    next_errors_ = {{c.member, u"El componente no pudo seguir."}};
    EXPECT_FALSE(module_.EstablecerEntidad(u"NCM"));
    ExpectOneBox(Report(u"El componente no pudo seguir.", u"NCM", c.line));
    // The new instance is kept; the previous entity's objects are untouched.
    EXPECT_EQ(module_.oComponente, made_.back().lock());
    EXPECT_TRUE(first_component_.expired());
    EXPECT_EQ(module_.oConexion, first_connection_.lock());
    EXPECT_EQ(module_.oComando, first_command_.lock());
    next_errors_.clear();
  }
}

TEST_F(EntidadTest, AConnectionThatCannotBeHadFailsAtStatement90WithNothingLeft) {
  ConnectFirstEntity();
  next_errors_ = {{"getDataConnectionByEntity", u"No hay datos para la entidad."}};
  EXPECT_FALSE(module_.EstablecerEntidad(u"NCM"));
  ExpectOneBox(Report(u"No hay datos para la entidad.", u"NCM", 90));
  EXPECT_EQ(module_.oComponente, made_.back().lock());
  EXPECT_EQ(module_.oComando, nullptr);
  EXPECT_EQ(module_.oConexion, nullptr);
  EXPECT_TRUE(Logged("conn1.released")) << "the previous connection is given up at 80";

  // GetAssemblyConnection failing is the same statement.
  next_errors_.clear();
  window_.boxes.clear();
  (*entities_)[u"NCM"].connection.reset();
  EXPECT_FALSE(module_.EstablecerEntidad(u"NCM"));
  ExpectOneBox(Report(u"No se pudo abrir la conexion", u"NCM", 90));
  EXPECT_EQ(module_.oConexion, nullptr);
}

TEST_F(EntidadTest, ASecondEntityReleasesTheFirstComponentConnectionAndCommand) {
  ConnectFirstEntity();
  EXPECT_TRUE(module_.EstablecerEntidad(u"NCM"));
  EXPECT_EQ(made_.size(), 2u);
  EXPECT_TRUE(first_component_.expired());
  EXPECT_TRUE(first_connection_.expired());
  EXPECT_TRUE(first_command_.expired());
  EXPECT_EQ(module_.oConexion, conn2_);
  EXPECT_EQ(module_.oComando->ActiveConnection, conn2_);
  // The first connection goes after the tag was asked and before the new one
  // is requested.
  EXPECT_EQ(*journal_, (Journal{
                           "component.created",
                           "component.setParametersPath " + ConfigUnder(u"/opt/Program Files (x86)"),
                           "component.LoadParameters",
                           "component.getDataConnectionTAG NCM",
                           "conn1.released",
                           "component.getDataConnectionByEntity NCM",
                       }));
}

// With the real data-access component and its configuration file.
class EntidadQVMainTest : public ::testing::Test {
 protected:
  EntidadQVMainTest() : module_(window_, QVMainFactory()), dir_(folder_.path()) {
    module_.ConfigPathOverride = folder_.Utf16("quorvexconfig.ini");
  }
  void WriteConfig(const std::string& text) { folder_.Write("quorvexconfig.ini", text); }

  RecordingWindow window_;
  ModMain module_;
  corvalen::testing::TempFolder folder_{"corvalen-ent"};
  fs::path dir_;
};

TEST_F(EntidadQVMainTest, AMissingConfigurationFailsAtStatement40) {
  EXPECT_FALSE(module_.EstablecerEntidad(u"CATALOGOS"));
  ASSERT_EQ(window_.boxes.size(), 1u);
  EXPECT_EQ(window_.boxes[0].text,
            u"No se encontró el archivo de configuración \"" + *module_.ConfigPathOverride +
                u"\".Entidad buscada:CATALOGOS\r\nin CorvalenSQL.Mod_Main.EstablecerEntidad at line 40");
}

TEST_F(EntidadQVMainTest, ASqliteEntityGivesAConnectionThatRunsAndCommits) {
  { std::ofstream(dir_ / "ncm.db"); }
  WriteConfig("[NCM]\nProvider = sqlite\nConnection = ncm.db\n");
  ASSERT_TRUE(module_.EstablecerEntidad(u"NCM"));
  Required(module_.oConexion).BeginTrans();
  module_.oConexion->Execute(u"CREATE TABLE t(a); INSERT INTO t VALUES (1)");
  module_.oConexion->CommitTrans();
  EXPECT_EQ(module_.oComando->ActiveConnection, module_.oConexion);
}

}  // namespace
}  // namespace corvalen
