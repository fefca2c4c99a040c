#include "db/command_watchdog.h"

#include <condition_variable>
#include <mutex>
#include <string_view>
#include <thread>
#include <utility>

#include "platform/numbered_error.h"
#include "platform/utf.h"

namespace corvalen {
namespace {

using Clock = std::chrono::steady_clock;

std::mutex& HandlerMutex() {
  static std::mutex mutex;
  return mutex;
}

StuckBatchHandler& Handler() {
  static StuckBatchHandler handler;
  return handler;
}

StuckBatchHandler CurrentHandler() {
  std::lock_guard<std::mutex> lock(HandlerMutex());
  return Handler();
}

// Watches one connection's batches, one at a time, from a thread of its own.
// The thread sleeps until the current batch's deadline; a batch that begins
// while it sleeps has a later deadline, so it is woken only after a rest.
class Watchdog {
 public:
  Watchdog(Connection& target, std::chrono::milliseconds grace) : target_(target), grace_(grace) {}
  Watchdog(const Watchdog&) = delete;
  Watchdog& operator=(const Watchdog&) = delete;
  ~Watchdog() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
  }

  // A call begins that may last `limit`; `stuck_text` (which must outlive
  // the call) says why the program ends if it is given up.
  void Begin(std::chrono::milliseconds limit, const std::u16string& stuck_text) {
    std::lock_guard<std::mutex> lock(mutex_);
    ++generation_;
    active_ = true;
    cancelled_ = false;
    stuck_text_ = &stuck_text;
    deadline_ = Clock::now() + limit;
    if (!thread_.joinable()) {
      thread_ = std::thread(&Watchdog::Loop, this);
    } else if (resting_) {
      wake_.notify_one();
    }
  }

  // The batch ended; whether it was cancelled. A cancel under way is waited
  // for (the connection must outlive it); a given-up batch never gets past
  // here, as the stuck-batch handler is ending the process.
  bool End() {
    std::unique_lock<std::mutex> lock(mutex_);
    wake_.wait(lock, [&] { return !cancelling_ && !given_up_; });
    active_ = false;
    // Only a watchdog that cancelled this batch waits for its end.
    if (awaiting_end_) wake_.notify_all();
    return cancelled_;
  }

 private:
  void Loop() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stop_) {
      if (!active_) {
        resting_ = true;
        wake_.wait(lock);
        resting_ = false;
        continue;
      }
      if (Clock::now() < deadline_) {
        wake_.wait_until(lock, deadline_);
        continue;
      }
      const uint64_t batch = generation_;
      cancelled_ = true;
      cancelling_ = true;
      // The cancel runs on a thread of its own: a driver whose cancel blocks
      // must not hold back the grace period.
      std::thread([this] {
        target_.Cancel();
        std::lock_guard<std::mutex> done(mutex_);
        cancelling_ = false;
        wake_.notify_all();
      }).detach();
      const Clock::time_point give_up = Clock::now() + grace_;
      auto still_running = [&] { return active_ && generation_ == batch && !stop_; };
      awaiting_end_ = true;
      while (still_running() && Clock::now() < give_up) wake_.wait_until(lock, give_up);
      if (!still_running()) {
        awaiting_end_ = false;
        continue;
      }
      StuckBatchHandler handler = CurrentHandler();
      if (handler) {
        given_up_ = true;
        lock.unlock();
        handler(*stuck_text_);  // ends the process
        lock.lock();
        given_up_ = false;
        wake_.notify_all();
      }
      // Without a handler the batch is waited for.
      wake_.wait(lock, [&] { return !still_running(); });
      awaiting_end_ = false;
    }
  }

  Connection& target_;
  const std::chrono::milliseconds grace_;
  const std::u16string* stuck_text_ = nullptr;

  std::mutex mutex_;
  std::condition_variable wake_;
  std::thread thread_;
  uint64_t generation_ = 0;
  Clock::time_point deadline_;
  bool active_ = false;
  bool cancelled_ = false;
  bool cancelling_ = false;
  bool given_up_ = false;
  bool awaiting_end_ = false;  // a cancelled batch's end is waited for
  bool resting_ = false;
  bool stop_ = false;
};

// "… no terminó N s después de cancelarlo por agotarse el tiempo de espera
// (M s): el programa termina sin esperarlo" and what that leaves.
// (…la, esperarla for a call named by a feminine noun).
std::u16string StuckText(std::u16string_view call, bool feminine, std::chrono::milliseconds grace,
                         int64_t limit_seconds, std::u16string_view leaves) {
  const std::u16string it = feminine ? u"la" : u"lo";
  return std::u16string(call) + u" no termin\u00F3 " + ToDecimal((grace.count() + 999) / 1000) +
         u" s despu\u00E9s de cancelar" + it +
         u" por agotarse el tiempo de espera del comando (" + ToDecimal(limit_seconds) +
         u" s): el programa termina sin esperar" + it + std::u16string(leaves);
}

// The calls of a connection, each bounded by the watchdog as its kind says.
class TimeBoundConnection : public Connection {
 public:
  TimeBoundConnection(std::shared_ptr<Connection> inner, const RoundTripBounds& bounds)
      : inner_(std::move(inner)),
        bounds_(bounds),
        check_seconds_(bounds.bound_transaction_calls && bounds.seconds <= 0
                           ? static_cast<int32_t>(kTransactionCheckBound.count())
                           : bounds.seconds),
        batch_stuck_(StuckText(u"El lote", false, bounds.grace, bounds.seconds,
                               u" y sin confirmar nada.")),
        check_stuck_(StuckText(u"La comprobaci\u00F3n de la transacci\u00F3n del script", true,
                               bounds.grace, check_seconds_, u" y sin confirmar nada.")),
        setting_stuck_(StuckText(u"La consulta de c\u00F3mo lee el servidor los textos", true,
                                 bounds.grace, check_seconds_, u" y sin confirmar nada.")),
        commit_stuck_(StuckText(u"La confirmaci\u00F3n de la transacci\u00F3n del script", true,
                                bounds.grace, bounds.seconds,
                                u"; no se sabe si el servidor la confirm\u00F3, y el script "
                                u"puede haber quedado aplicado.")),
        rollback_stuck_(StuckText(u"La reversi\u00F3n de la transacci\u00F3n del script", true,
                                  bounds.grace, bounds.seconds,
                                  u"; el servidor deshace la transacci\u00F3n de una conexi\u00F3n "
                                  u"que se va, y nada se confirma.")),
        watchdog_(*inner_, bounds.grace) {}

  int32_t BeginTrans() override { return inner_->BeginTrans(); }
  void Cancel() override { inner_->Cancel(); }
  int64_t DeferredViolations() override { return inner_->DeferredViolations(); }
  void RestoreDatabase() override {
    Bounded(bounds_.bound_transaction_calls ? check_seconds_ : 0, check_stuck_,
            CommandTimeoutText(check_seconds_), [&] { inner_->RestoreDatabase(); });
  }
  // A question of the run's own between two calls, bounded as the
  // transaction check is.
  bool BackslashStrings() override {
    bool backslashes = false;
    Bounded(bounds_.bound_transaction_calls ? check_seconds_ : 0, setting_stuck_,
            u"Se agot\u00F3 el tiempo de espera de la consulta de c\u00F3mo lee el servidor los "
            u"textos (" + ToDecimal(check_seconds_) + u" s).",
            [&] { backslashes = inner_->BackslashStrings(); });
    return backslashes;
  }

  void Execute(const std::u16string& text) override {
    Bounded(bounds_.seconds, batch_stuck_, CommandTimeoutText(bounds_.seconds),
            [&] { inner_->Execute(text); });
  }
  TransactionState CheckTransaction() override {
    TransactionState state = TransactionState::kIntact;
    Bounded(bounds_.bound_transaction_calls ? check_seconds_ : 0, check_stuck_,
            u"Se agot\u00F3 el tiempo de espera de la comprobaci\u00F3n de la transacci\u00F3n (" +
                ToDecimal(check_seconds_) + u" s).",
            [&] { state = inner_->CheckTransaction(); });
    return state;
  }
  void CommitTrans() override {
    // A commit cut short by its cancel may or may not have been made.
    Bounded(bounds_.bound_transaction_calls ? bounds_.seconds : 0, commit_stuck_,
            CommandTimeoutText(bounds_.seconds), [&] { inner_->CommitTrans(); },
            kErrCommitInDoubt);
  }
  void RollbackTrans() override {
    Bounded(bounds_.bound_transaction_calls ? bounds_.seconds : 0, rollback_stuck_,
            CommandTimeoutText(bounds_.seconds), [&] { inner_->RollbackTrans(); });
  }

 private:
  // Runs `call` under the watchdog when `seconds` is above 0: a call that
  // fails after its cancel raises `timeout_text` (numbered `number`).
  template <class Call>
  void Bounded(int32_t seconds, const std::u16string& stuck_text,
               const std::u16string& timeout_text, Call call,
               int32_t number = kErrDatabase) {
    if (seconds <= 0) return call();
    watchdog_.Begin(std::chrono::seconds(seconds) + bounds_.backstop, stuck_text);
    try {
      call();
    } catch (...) {
      if (watchdog_.End()) throw NumberedError(number, timeout_text);
      throw;
    }
    watchdog_.End();
  }

  std::shared_ptr<Connection> inner_;
  const RoundTripBounds bounds_;
  const int32_t check_seconds_;
  const std::u16string batch_stuck_;
  const std::u16string check_stuck_;
  const std::u16string setting_stuck_;
  const std::u16string commit_stuck_;
  const std::u16string rollback_stuck_;
  Watchdog watchdog_;  // after inner_: stopped before the connection goes
};

}  // namespace

std::u16string CommandTimeoutText(int32_t seconds) {
  return u"Se agotó el tiempo de espera del comando (" + ToDecimal(seconds) + u" s).";
}

void SetStuckBatchHandler(StuckBatchHandler handler) {
  std::lock_guard<std::mutex> lock(HandlerMutex());
  Handler() = std::move(handler);
}

std::shared_ptr<Connection> WithCommandTimeout(std::shared_ptr<Connection> connection,
                                               int32_t seconds, std::chrono::milliseconds grace,
                                               std::chrono::milliseconds backstop) {
  return std::make_shared<TimeBoundConnection>(std::move(connection),
                                               RoundTripBounds{seconds, grace, backstop, false});
}

std::shared_ptr<Connection> WithRoundTripTimeouts(std::shared_ptr<Connection> connection,
                                                  const RoundTripBounds& bounds) {
  RoundTripBounds all = bounds;
  all.bound_transaction_calls = true;
  return std::make_shared<TimeBoundConnection>(std::move(connection), all);
}

}  // namespace corvalen
