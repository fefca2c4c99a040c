#include "update/program_end.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "db/command_watchdog.h"
#include "tests/fakes/recording_window.h"

namespace corvalen {
namespace {

using namespace std::chrono_literals;

// Every batch takes 1.2 s and ignores its cancel.
class DeafConnection : public Connection {
 public:
  int32_t BeginTrans() override { return 1; }
  void CommitTrans() override {}
  void RollbackTrans() override {}
  void Execute(const std::u16string&) override { std::this_thread::sleep_for(1200ms); }
};

TEST(ProgramEndDeathTest, OnceTheProgramHasEndedAStuckBatchNoLongerEndsIt) {
#if !GTEST_HAS_DEATH_TEST
  GTEST_SKIP() << "no death tests on this system";
#else
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  // A handler left installed would end the process with 2 at the first
  // given-up batch.
  EXPECT_EXIT(
      {
        testing::RecordingWindow window;
        ModMain module(window, nullptr);
        auto db = WithCommandTimeout(std::make_shared<DeafConnection>(), 1, 50ms);
        {
          ProgramEnd end(std::nullopt, nullptr);
          end.EndGivenUpBatches(module, nullptr);
          end.Finish(module.run_record, u"", 0);
          db->Execute(u"after Finish");
          end.EndGivenUpBatches(module, nullptr);
        }
        db->Execute(u"after the end is gone");
        std::exit(0);
      },
      ::testing::ExitedWithCode(0), "");
#endif
}

}  // namespace
}  // namespace corvalen
