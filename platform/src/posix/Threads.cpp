#include "quorin/platform/Threads.h"

#include <cxxabi.h>
#include <pthread.h>
#include <signal.h>

#include <cstring>

namespace quorin::platform {

static_assert(sizeof(sigset_t) <= 128, "AsyncSignalsHeld keeps a sigset_t");

// Every signal but those the thread itself raises by what it does.
AsyncSignalsHeld::AsyncSignalsHeld() noexcept {
  sigset_t all, saved;
  sigfillset(&all);
  for (const int own : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGABRT, SIGSYS})
    sigdelset(&all, own);
  ::pthread_sigmask(SIG_BLOCK, &all, &saved);
  std::memcpy(saved_, &saved, sizeof saved);
}

AsyncSignalsHeld::~AsyncSignalsHeld() {
  sigset_t saved;
  std::memcpy(&saved, saved_, sizeof saved);
  ::pthread_sigmask(SIG_SETMASK, &saved, nullptr);
}

void RethrowIfThreadEnding() {
  try {
    throw;
  } catch (abi::__forced_unwind&) {
    throw;
  } catch (...) {  // NOLINT(bugprone-empty-catch): the caller handles it
  }
}

}  // namespace quorin::platform
