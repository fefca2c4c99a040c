#include "app/resume_next.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "update/run_window.h"

namespace corvalen {
namespace {

TEST(RunResumingNextTest, ReportsTheFailingStatementAndGoesOnWithTheNext) {
  Procedure proc(kModuleWindow, u"Form_Load");
  std::vector<int> ran;
  std::vector<std::u16string> reports;
  RunResumingNext(proc,
                  {
                      {0, [&] { ran.push_back(0); }},
                      {10, [&] { ran.push_back(10); }},
                      {20, [&] { throw NumberedError(kErrObjectNotSet); }},
                      {30, [&] { ran.push_back(30); }},
                  },
                  [&](const NumberedError& e) { reports.push_back(proc.Report(e.description())); });
  EXPECT_EQ(ran, (std::vector<int>{0, 10, 30}));
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0],
            u"Object variable or With block variable not set\r\n"
            u"in CorvalenSQL.Corvalen.Form_Load at line 20");
  EXPECT_EQ(proc.line(), 30);
}

TEST(RunResumingNextTest, FailureBeforeTheFirstNumberReportsLineZero) {
  Procedure proc(kModuleWindow, u"Form_Load");
  std::vector<std::u16string> reports;
  RunResumingNext(proc,
                  {
                      {0, [] { throw std::runtime_error("no folder"); }},
                      {10, [] { throw NumberedError(kErrOverflow); }},
                  },
                  [&](const NumberedError& e) { reports.push_back(proc.Report(e.description())); });
  ASSERT_EQ(reports.size(), 2u);
  EXPECT_EQ(reports[0], u"no folder\r\nin CorvalenSQL.Corvalen.Form_Load at line 0");
  EXPECT_EQ(reports[1], u"Overflow\r\nin CorvalenSQL.Corvalen.Form_Load at line 10");
}

TEST(RunResumingNextTest, ProgramEndPassesThroughWithoutAReport) {
  Procedure proc(kModuleWindow, u"Form_Activate");
  int reports = 0;
  bool after = false;
  EXPECT_THROW(RunResumingNext(proc,
                               {
                                   {10, [] { throw ProgramEnded{EndReason::kScriptFailed}; }},
                                   {20, [&] { after = true; }},
                               },
                               [&](const NumberedError&) { ++reports; }),
               ProgramEnded);
  EXPECT_EQ(reports, 0);
  EXPECT_FALSE(after);
}

}  // namespace
}  // namespace corvalen
