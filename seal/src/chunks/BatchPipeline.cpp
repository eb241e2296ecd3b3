#include "chunks/BatchPipeline.h"

#include <condition_variable>
#include <exception>
#include <limits>
#include <mutex>
#include <system_error>
#include <thread>

#include "quorin/platform/Cores.h"
#include "quorin/platform/Threads.h"

namespace quorin::seal {
namespace {

constexpr std::uint64_t kNever = std::numeric_limits<std::uint64_t>::max();

// Turns taken in order 0, 1, 2, ..., until a turn from which none are taken.
class Turns {
 public:
  // Waits for turn `turn`; false when it will never come.
  bool Await(std::uint64_t turn) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return next_ == turn || turn >= end_; });
    return turn < end_;
  }
  void Pass() {
    {
      const std::lock_guard lock(mutex_);
      ++next_;
    }
    changed_.notify_all();
  }
  void EndAt(std::uint64_t turn) {
    {
      const std::lock_guard lock(mutex_);
      if (turn < end_) end_ = turn;
    }
    changed_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::uint64_t next_ = 0, end_ = kNever;
};

struct Failure {
  std::uint64_t batch = kNever;
  std::exception_ptr error;
};

}  // namespace

void RunBatches(const BatchSteps& steps) {
  Turns reading, writing;
  Failure failures[kMostWorkers];
  const auto worker = [&](unsigned w, unsigned workers) {
    std::uint64_t batch = w;
    try {
      for (;; batch += workers) {
        if (!reading.Await(batch)) return;
        const bool last = steps.read(w, batch);
        if (last) reading.EndAt(batch + 1);
        reading.Pass();
        steps.work(w, batch);
        if (!writing.Await(batch)) return;
        steps.write(w, batch);
        writing.Pass();
        if (last) return;
      }
    } catch (...) {
      // Earlier batches go on (one of them may fail first); later ones stop.
      reading.EndAt(batch + 1);
      writing.EndAt(batch);
      platform::RethrowIfThreadEnding();
      failures[w] = {batch, std::current_exception()};
    }
  };
  // Joins the helper on every way out. Only a thread ended under a
  // callback (its runtime finalising) leaves by unwinding: every turn is
  // then ended, so that the helper stops at its next one.
  struct Helper {
    Turns& reading;
    Turns& writing;
    std::thread thread;
    ~Helper() {
      if (!thread.joinable()) return;
      reading.EndAt(0);
      writing.EndAt(0);
      thread.join();
    }
  } helper{reading, writing, {}};
  if (platform::UsableCores() >= 2) {
    try {
      helper.thread = platform::StartQuietThread([&] { worker(1u, 2u); });
    } catch (const std::system_error&) {
    }
  }
  worker(0, helper.thread.joinable() ? 2 : 1);
  if (helper.thread.joinable()) helper.thread.join();
  const Failure& first = failures[0].batch <= failures[1].batch ? failures[0] : failures[1];
  if (first.error) std::rethrow_exception(first.error);
}

}  // namespace quorin::seal
