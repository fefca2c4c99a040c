#include "db/command_watchdog.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "tests/fakes/error_of.h"

namespace corvalen {
namespace {

using namespace std::chrono_literals;
using corvalen::testing::ErrorOf;

// A batch "SLOW" runs until it is released: by Cancel when `honours_cancel`,
// otherwise only by Release. Other batches end at once.
class SlowConnection : public Connection {
 public:
  bool honours_cancel = true;
  std::atomic<int> cancels{0};

  int32_t BeginTrans() override { return 1; }
  // A commit or a check as slow as a "SLOW" batch.
  void CommitTrans() override { Execute(u"SLOW"); }
  void RollbackTrans() override {}
  TransactionState CheckTransaction() override {
    Execute(u"SLOW");
    return TransactionState::kIntact;
  }
  void Execute(const std::u16string& text) override {
    if (text != u"SLOW") return;
    std::unique_lock<std::mutex> lock(mutex_);
    released_ = false;
    wake_.wait(lock, [&] { return released_; });
    throw NumberedError(kErrDatabase, u"Operation canceled");
  }
  void Cancel() override {
    ++cancels;
    if (honours_cancel) Release();
  }
  void Release() {
    std::lock_guard<std::mutex> lock(mutex_);
    released_ = true;
    wake_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable wake_;
  bool released_ = false;
};

TEST(CommandWatchdogTest, CancelsAtTheLimitAndGivesUpABatchThatDoesNotEnd) {
  auto slow = std::make_shared<SlowConnection>();
  auto db = WithCommandTimeout(slow, 1, 300ms);
  db->Execute(u"fast");
  EXPECT_EQ(slow->cancels, 0);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(ErrorOf([&] { db->Execute(u"SLOW"); }).description(),
            u"Se agotó el tiempo de espera del comando (1 s).");
  EXPECT_GE(std::chrono::steady_clock::now() - start, 1s);
  EXPECT_EQ(slow->cancels, 1);

  // A batch that ignores its cancel is given up: the handler (which would
  // end the process) hears why; here it lets the batch go instead.
  std::u16string told;
  SetStuckBatchHandler([&](const std::u16string& description) {
    told = description;
    slow->Release();
  });
  slow->honours_cancel = false;
  ErrorOf([&] { db->Execute(u"SLOW"); });
  SetStuckBatchHandler(nullptr);
  EXPECT_EQ(told,
            u"El lote no terminó 1 s después de cancelarlo por agotarse el tiempo de espera del "
            u"comando (1 s): el programa termina sin esperarlo y sin confirmar nada.");
  // Without a handler such a batch is waited for, and the next one is still
  // watched.
  std::thread release([&] {
    std::this_thread::sleep_for(1800ms);
    slow->Release();
  });
  ErrorOf([&] { db->Execute(u"SLOW"); });
  release.join();
  slow->honours_cancel = true;
  ErrorOf([&] { db->Execute(u"SLOW"); });
  EXPECT_EQ(slow->cancels, 4);
}

TEST(CommandWatchdogTest, AServersRoundTripsAreBoundedAndACommitCutShortIsInDoubt) {
  auto slow = std::make_shared<SlowConnection>();
  auto db = WithRoundTripTimeouts(slow, RoundTripBounds{1, 300ms});
  const NumberedError check = ErrorOf([&] { db->CheckTransaction(); });
  EXPECT_EQ(check.description(),
            u"Se agotó el tiempo de espera de la comprobación de la transacción (1 s).");
  const NumberedError commit = ErrorOf([&] { db->CommitTrans(); });
  EXPECT_EQ(commit.number(), kErrCommitInDoubt);
  EXPECT_EQ(slow->cancels, 2);
  // Given up, the commit tells the handler that it may have been made.
  std::u16string told;
  SetStuckBatchHandler([&](const std::u16string& description) {
    told = description;
    slow->Release();
  });
  slow->honours_cancel = false;
  ErrorOf([&] { db->CommitTrans(); });
  SetStuckBatchHandler(nullptr);
  EXPECT_NE(told.find(u"puede haber quedado aplicado"), std::u16string::npos);
}

}  // namespace
}  // namespace corvalen
