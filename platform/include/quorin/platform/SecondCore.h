// A second thread for one run of work at a time: the run's first part goes
// to the helper while the caller's thread does the rest, so that work that
// splits (the cipher modes whose blocks do not wait on each other) uses two
// cores.
#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>

namespace quorin::platform {

class SecondCore {
 public:
  // A thread only when wanted and the process may use two cores or more (and
  // one can be had); otherwise Available() is false and nothing is split.
  explicit SecondCore(bool Wanted);
  ~SecondCore();
  SecondCore(const SecondCore&) = delete;
  SecondCore& operator=(const SecondCore&) = delete;

  bool Available() const { return FThread.joinable(); }

  // Head(Context) on the helper, Tail() on the caller's thread; returns once
  // both have ended. Neither may throw.
  template <class TailStep>
  void Run(void (*Head)(void*) noexcept, void* Context, TailStep Tail) {
    Start(Head, Context);
    Tail();
    Finish();
  }

 private:
  void Start(void (*Head)(void*) noexcept, void* Context);
  void Finish();
  void Loop();

  std::mutex FLock;
  std::condition_variable FChanged;
  void (*FTask)(void*) noexcept = nullptr;
  void* FContext = nullptr;
  bool FStopping = false;
  std::thread FThread;
};

}  // namespace quorin::platform
