// The named temporary files that a signal handler removes before the signal
// ends the process. Slots hold pointers to names owned by their
// AtomicOutput, read by the handler without locks.
#pragma once

#include <csignal>

namespace quorin::platform {

// The slot the name now occupies, or -1 when all are taken (the file is then
// removed on failure, but not when a signal ends the process).
int RememberTemporary(const char* path) noexcept;
void ForgetTemporary(int slot) noexcept;

// Holds back the signals that remove temporaries while a name is created or
// forgotten, so that the handler never sees it half done.
class CleanupSignalsHeld {
 public:
  CleanupSignalsHeld() noexcept;
  ~CleanupSignalsHeld();
  CleanupSignalsHeld(const CleanupSignalsHeld&) = delete;
  CleanupSignalsHeld& operator=(const CleanupSignalsHeld&) = delete;

 private:
  sigset_t previous_;
};

}  // namespace quorin::platform
