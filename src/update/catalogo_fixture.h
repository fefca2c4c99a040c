// The catalogue tests' fixture: a module with a recording window whose
// scripts folder is a temporary folder.
#ifndef CORVALEN_UPDATE_CATALOGO_FIXTURE_H_
#define CORVALEN_UPDATE_CATALOGO_FIXTURE_H_

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "platform/utf.h"
#include "tests/fakes/recording_window.h"
#include "tests/fakes/temp_folder.h"
#include "update/mod_main.h"

namespace corvalen {

class CatalogoTest : public ::testing::Test {
 protected:
  CatalogoTest() : module_(window_, nullptr), dir_(folder_.path()) {
    module_.CarpetaScripts = folder_.Utf16();
  }
  void Touch(const std::string& name) { folder_.Write(name, "select 1\r\n"); }
  // The catalogue's entries as (file name, category).
  std::vector<std::pair<std::string, std::string>> Entries() const {
    std::vector<std::pair<std::string, std::string>> out;
    for (size_t i = 1; i < module_.ListadoSql.size(); ++i) {
      out.emplace_back(Utf16ToUtf8(module_.ListadoSql[i].Archivo),
                       Utf16ToUtf8(module_.ListadoSql[i].Categoria));
    }
    return out;
  }

  // Builds the catalogue, which must end the program as a reported failure
  // after one box with `text`.
  void ExpectReportedFailure(const std::u16string& text) {
    try {
      module_.ObtenerListadoSql();
      ADD_FAILURE() << "the program should have ended";
    } catch (const ProgramEnded& end) {
      EXPECT_EQ(end.reason, EndReason::kFailure);
    }
    ASSERT_EQ(window_.boxes.size(), 1u);
    EXPECT_EQ(window_.boxes[0].text, text);
  }

  testing::RecordingWindow window_;
  ModMain module_;
  testing::TempFolder folder_{"corvalen-cat"};
  std::filesystem::path dir_;
};

}  // namespace corvalen

#endif  // CORVALEN_UPDATE_CATALOGO_FIXTURE_H_
