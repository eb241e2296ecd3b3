#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstddef>
#include <iterator>

#include "TemporaryRegistry.h"
#include "quorin/platform/AtomicOutput.h"

namespace quorin::platform {
namespace {

// The signals whose default action ends the process and that can be caught.
constexpr int kEndingSignals[] = {SIGINT,  SIGTERM, SIGHUP,  SIGQUIT,   SIGPIPE, SIGXFSZ,
                                  SIGUSR1, SIGUSR2, SIGALRM, SIGVTALRM, SIGPROF};

std::atomic<const char*> temporaries[8];

extern "C" void RemoveTemporariesAndEnd(int sig) {
  for (auto& slot : temporaries)
    if (const char* path = slot.load()) ::unlink(path);
  std::signal(sig, SIG_DFL);
  std::raise(sig);  // delivered with the default action once the handler returns
}

sigset_t EndingSignals() {
  sigset_t set;
  sigemptyset(&set);
  for (const int sig : kEndingSignals) sigaddset(&set, sig);
  return set;
}

}  // namespace

int RememberTemporary(const char* path) noexcept {
  for (std::size_t i = 0; i < std::size(temporaries); ++i) {
    const char* empty = nullptr;
    if (temporaries[i].compare_exchange_strong(empty, path)) return static_cast<int>(i);
  }
  return -1;
}

void ForgetTemporary(int slot) noexcept {
  if (slot >= 0) temporaries[slot].store(nullptr);
}

CleanupSignalsHeld::CleanupSignalsHeld() noexcept {
  const sigset_t set = EndingSignals();
  pthread_sigmask(SIG_BLOCK, &set, &previous_);
}

CleanupSignalsHeld::~CleanupSignalsHeld() {
  pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
}

void CleanUpOnSignals() {
  for (const int sig : kEndingSignals) {
    struct sigaction old {};
    if (::sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;  // nohup
    struct sigaction act {};
    act.sa_handler = RemoveTemporariesAndEnd;
    act.sa_mask = EndingSignals();
    ::sigaction(sig, &act, nullptr);
  }
}

}  // namespace quorin::platform
