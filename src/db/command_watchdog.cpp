#include "db/command_watchdog.h"

#include <condition_variable>
#include <mutex>
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
  Watchdog(Connection& target, std::chrono::milliseconds limit, std::chrono::milliseconds grace,
           std::u16string stuck_text)
      : target_(target), limit_(limit), grace_(grace), stuck_text_(std::move(stuck_text)) {}
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

  void Begin() {
    std::lock_guard<std::mutex> lock(mutex_);
    ++generation_;
    active_ = true;
    cancelled_ = false;
    deadline_ = Clock::now() + limit_;
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
        handler(stuck_text_);  // ends the process
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
  const std::chrono::milliseconds limit_;
  const std::chrono::milliseconds grace_;
  const std::u16string stuck_text_;

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

class TimeBoundConnection : public Connection {
 public:
  TimeBoundConnection(std::shared_ptr<Connection> inner, int32_t seconds,
                      std::chrono::milliseconds grace, std::chrono::milliseconds backstop)
      : inner_(std::move(inner)),
        seconds_(seconds),
        watchdog_(*inner_, std::chrono::seconds(seconds) + backstop, grace,
                  u"El lote no terminó " + ToDecimal((grace.count() + 999) / 1000) +
                      u" s después de cancelarlo por agotarse el tiempo de espera del comando (" +
                      ToDecimal(seconds) + u" s): el programa termina sin esperarlo y sin "
                                           u"confirmar nada.") {}

  int32_t BeginTrans() override { return inner_->BeginTrans(); }
  void CommitTrans() override { inner_->CommitTrans(); }
  void RollbackTrans() override { inner_->RollbackTrans(); }
  void Cancel() override { inner_->Cancel(); }
  bool TransactionStillOpen() override { return inner_->TransactionStillOpen(); }
  bool BackslashStrings() override { return inner_->BackslashStrings(); }

  void Execute(const std::u16string& text) override {
    watchdog_.Begin();
    try {
      inner_->Execute(text);
    } catch (...) {
      if (watchdog_.End()) throw NumberedError(kErrDatabase, CommandTimeoutText(seconds_));
      throw;
    }
    watchdog_.End();
  }

 private:
  std::shared_ptr<Connection> inner_;
  int32_t seconds_;
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
  return std::make_shared<TimeBoundConnection>(std::move(connection), seconds, grace, backstop);
}

}  // namespace corvalen
