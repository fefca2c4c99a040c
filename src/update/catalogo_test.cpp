#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/path.h"
#include "platform/utf.h"
#include "update/catalogo_fixture.h"

namespace corvalen {
namespace {

namespace fs = std::filesystem;

TEST_F(CatalogoTest, EmptyFolderLeavesTheCatalogueEmpty) {
  module_.ObtenerListadoSql();
  EXPECT_EQ(module_.UpperBound(), 0);
  ASSERT_EQ(module_.ListadoSql.size(), 1u);
  EXPECT_TRUE(module_.ListadoSql[0].Archivo.empty());
  EXPECT_TRUE(window_.events.empty()) << "the catalogue never touches the window";
}

TEST_F(CatalogoTest, FamiliesInFixedOrderNumberedWithoutGaps) {
  for (const char* name : {"PERSONAL_a.sql", "NCM_3.sql", "CATALOGOS_b.sql", "NCM_1.sql",
                           "CATALOGOS_a.sql", "NCM_2.sql", "HISTORIAL_z.sql", "AAA_1.sql"}) {
    Touch(name);
  }
  module_.ObtenerListadoSql();
  EXPECT_EQ(Entries(), (std::vector<std::pair<std::string, std::string>>{
                           {"CATALOGOS_a.sql", "CATALOGOS"},
                           {"CATALOGOS_b.sql", "CATALOGOS"},
                           {"NCM_1.sql", "NCM"},
                           {"NCM_2.sql", "NCM"},
                           {"NCM_3.sql", "NCM"},
                           {"HISTORIAL_z.sql", "HISTORIAL"},
                           {"PERSONAL_a.sql", "PERSONAL"},
                       }));
  EXPECT_TRUE(module_.ListadoSql[0].Archivo.empty());
  EXPECT_TRUE(module_.ListadoSql[0].Categoria.empty());
}

TEST_F(CatalogoTest, LowerCaseNamesKeepTheirCaseAndGetTheCategoryWord) {
  Touch("ncm_x.sql");
  Touch("systablas_Y.SQL");
  Touch("Internos_1.Sql");
  module_.ObtenerListadoSql();
  EXPECT_EQ(Entries(), (std::vector<std::pair<std::string, std::string>>{
                           {"Internos_1.Sql", "INTERNOS"},
                           {"ncm_x.sql", "NCM"},
                           {"systablas_Y.SQL", "SYSTABLAS"},
                       }));
}

TEST_F(CatalogoTest, FilteringAndOrderWithinAFamily) {
  for (const char* name : {"CATALOGOS_2.sql", "CATALOGOS_10.sql", "CATALOGOS_C.sql",
                           "CATALOGOS_b.sql", "CATALOGOS_.sql", "CATALOGOSX.sql",
                           "CATALOGOS_A.sql.bak", ".CATALOGOS_H.sql"}) {
    Touch(name);
  }
  fs::create_directory(dir_ / "CATALOGOS_D.sql");
  module_.ObtenerListadoSql();
  EXPECT_EQ(Entries(), (std::vector<std::pair<std::string, std::string>>{
                           {"CATALOGOS_.sql", "CATALOGOS"},
                           {"CATALOGOS_10.sql", "CATALOGOS"},
                           {"CATALOGOS_2.sql", "CATALOGOS"},
                           {"CATALOGOS_b.sql", "CATALOGOS"},
                           {"CATALOGOS_C.sql", "CATALOGOS"},
                       }));
}

TEST_F(CatalogoTest, MissingFolderIsAnEmptyCatalogue) {
  module_.CarpetaScripts = u"/nonexistent-corvalen/scripts";
  module_.ObtenerListadoSql();
  EXPECT_EQ(module_.UpperBound(), 0);
}

TEST_F(CatalogoTest, AnUnknownFolderIsReportedAtStatement10NeverTheRoot) {
  // ProgramFolder() is empty when the program's folder cannot be found.
  module_.CarpetaScripts.clear();
  ExpectReportedFailure(u"Path not found\r\nin CorvalenSQL.Mod_Main.ObtenerListadoSql at line 10");
  EXPECT_EQ(module_.UpperBound(), 0);
}

TEST_F(CatalogoTest, AFileInANestedFolderIsNotTaken) {
  fs::create_directory(dir_ / "old");
  std::ofstream(dir_ / "old" / "NCM_1.sql") << "x";
  module_.ObtenerListadoSql();
  EXPECT_EQ(module_.UpperBound(), 0);
}

}  // namespace
}  // namespace corvalen
