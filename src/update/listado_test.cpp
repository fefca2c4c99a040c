#include <gtest/gtest.h>

#include "platform/numbered_error.h"
#include "tests/fakes/recording_window.h"
#include "update/mod_main.h"

namespace corvalen {
namespace {

using testing::RecordingWindow;

class ListadoTest : public ::testing::Test {
 protected:
  ListadoTest() : module_(window_, nullptr) {}
  void Fill(int n) {
    for (int i = 1; i <= n; ++i) {
      module_.ListadoSql.push_back({u"NCM_" + ToDecimal(i) + u".sql", u"NCM"});
    }
  }
  RecordingWindow window_;
  ModMain module_;
};

TEST_F(ListadoTest, EmptyCatalogueClearsTheListAndKeepsTheRange) {
  window_.lines = {u"old line"};
  module_.ListarActualizacionesEnPantalla(window_);
  EXPECT_TRUE(window_.lines.empty());
  EXPECT_EQ(window_.status_prg, u"Buscando actualizaciones ... ");
  EXPECT_EQ(window_.progress_max, 100);
  EXPECT_EQ(window_.events, (std::vector<std::string>{
                                "list.clear", "status_prg Buscando actualizaciones ... ",
                                "do_events"}));
}

TEST_F(ListadoTest, OneScript) {
  module_.ListadoSql.push_back({u"ncm_Año.SQL", u"NCM"});
  module_.ListarActualizacionesEnPantalla(window_);
  EXPECT_EQ(window_.lines, (std::vector<std::u16string>{u"ncm_Año.SQL"}));
  EXPECT_EQ(window_.status_prg, u"Buscando actualizaciones 1 de 1");
  EXPECT_EQ(window_.progress_max, 1);
  EXPECT_EQ(window_.progress_value, 0) << "the value is not touched";
}

TEST_F(ListadoTest, ManyScriptsRaiseTheMaximumStepByStepAndYieldOnce) {
  Fill(150);
  window_.lines = {u"a", u"b"};
  module_.ListarActualizacionesEnPantalla(window_);
  ASSERT_EQ(window_.lines.size(), 150u);
  EXPECT_EQ(window_.lines[0], u"NCM_1.sql");
  EXPECT_EQ(window_.lines[149], u"NCM_150.sql");
  EXPECT_EQ(window_.status_prg, u"Buscando actualizaciones 150 de 150");
  EXPECT_EQ(window_.progress_max, 150);
  auto maxima = window_.EventsStartingWith("progress.max");
  ASSERT_EQ(maxima.size(), 150u);
  EXPECT_EQ(maxima[0], "progress.max 1");
  EXPECT_EQ(maxima[2], "progress.max 3");
  EXPECT_EQ(window_.do_events_count, 1);
  EXPECT_EQ(window_.events.back(), "do_events");
  // Caption for the third of 150 comes right after its line.
  auto captions = window_.EventsStartingWith("status_prg");
  EXPECT_EQ(captions[3], "status_prg Buscando actualizaciones 3 de 150");
}

TEST_F(ListadoTest, AControlRefusingAValueIsReportedWithItsStatement) {
  Fill(3);
  window_.fail_hook = [](const std::string& event) {
    if (event == "progress.max 2") throw NumberedError(kErrInvalidPropertyValue);
  };
  EXPECT_THROW(module_.ListarActualizacionesEnPantalla(window_), ProgramEnded);
  ASSERT_EQ(window_.boxes.size(), 1u);
  EXPECT_EQ(window_.boxes[0].text,
            u"Invalid property value\r\nin CorvalenSQL.Mod_Main.ListarActualizacionesEnPantalla "
            u"at line 70");
  EXPECT_EQ(window_.boxes[0].title, u"CorvalenSQL v." CORVALEN_VERSION);
  EXPECT_EQ(window_.events.back(), "end 3");
}

}  // namespace
}  // namespace corvalen
