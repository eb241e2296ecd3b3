// The threads the libraries start beside a caller's: they take none of the
// process's asynchronous signals, so that Ctrl-C reaches the caller's own
// thread (an interpreter handles it only there), and a thread that its
// runtime ends under a callback (an interpreter finalising) is let go
// rather than caught as a failure.
#pragma once

#include <thread>
#include <utility>

namespace quorin::platform {

// While it lives, the current thread blocks the asynchronous signals;
// threads started meanwhile inherit that.
class AsyncSignalsHeld {
 public:
  AsyncSignalsHeld() noexcept;
  ~AsyncSignalsHeld();
  AsyncSignalsHeld(const AsyncSignalsHeld&) = delete;
  AsyncSignalsHeld& operator=(const AsyncSignalsHeld&) = delete;

 private:
  [[maybe_unused]] alignas(16) unsigned char saved_[128];  // the mask before, where there is one
};

// A new thread running f that never takes an asynchronous signal.
template <class F>
std::thread StartQuietThread(F&& f) {
  const AsyncSignalsHeld held;
  return std::thread(std::forward<F>(f));
}

// Called first inside a catch (...): throws the exception on when it is
// the thread being ended by its runtime (pthread_exit, pthread_cancel),
// which must not be caught; returns for any other.
void RethrowIfThreadEnding();

}  // namespace quorin::platform
