// A second thread for one run of cipher work at a time: the run's first part
// goes to the helper while the caller's thread does the rest, so that the
// modes whose blocks do not wait on each other use two cores.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

namespace Rc6::detail {

// Inputs from this size on get a second core for their cipher work.
inline constexpr std::int64_t kTwoCoresFrom = std::int64_t{8} << 20;

class TSecondCore {
 public:
  // A thread only when wanted and the process may use two cores or more (and
  // one can be had); otherwise Available() is false and nothing is split.
  explicit TSecondCore(bool Wanted);
  ~TSecondCore();
  TSecondCore(const TSecondCore&) = delete;
  TSecondCore& operator=(const TSecondCore&) = delete;

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

}  // namespace Rc6::detail
