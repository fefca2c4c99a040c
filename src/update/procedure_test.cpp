#include "update/procedure.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "update/run_window.h"

namespace corvalen {
namespace {

TEST(ProcedureTest, ReportNamesModuleProcedureAndLastStatement) {
  Procedure proc(kModuleModMain, u"ObtenerListadoSql");
  EXPECT_EQ(proc.line(), 0);
  proc.At(10);
  EXPECT_EQ(proc.Report(u"Path not found"),
            u"Path not found\r\nin CorvalenSQL.Mod_Main.ObtenerListadoSql at line 10");
  Procedure form(kModuleWindow, u"Form_Load");
  EXPECT_EQ(form.Report(u"x"), u"x\r\nin CorvalenSQL.Corvalen.Form_Load at line 0");
}

TEST(ProcedureTest, HandlerSeesTheStatementThatFailed) {
  Procedure proc(kModuleModMain, u"P");
  int32_t seen = -1;
  std::u16string description;
  WithErrorHandler(
      [&] {
        proc.At(10);
        proc.At(20);
        // an unnumbered step after 20 reports 20
        throw NumberedError(kErrOverflow);
      },
      [&](const NumberedError& e) {
        seen = proc.line();
        description = e.description();
      });
  EXPECT_EQ(seen, 20);
  EXPECT_EQ(description, u"Overflow");
}

TEST(ProcedureTest, ReturnsTheBodysOrTheHandlersValue) {
  EXPECT_TRUE(WithErrorHandler([] { return true; }, [](const NumberedError&) { return false; }));
  EXPECT_FALSE(WithErrorHandler([]() -> bool { throw std::runtime_error("x"); },
                                [](const NumberedError&) { return false; }));
}

TEST(ProcedureTest, ProgramEndPassesThroughHandlers) {
  bool handled = false;
  EXPECT_THROW(WithErrorHandler([]() { throw ProgramEnded{EndReason::kAccessTag}; },
                                [&](const NumberedError&) { handled = true; }),
               ProgramEnded);
  EXPECT_FALSE(handled);
}

}  // namespace
}  // namespace corvalen
