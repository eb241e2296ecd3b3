// Windows has no asynchronous signals to keep from threads (Ctrl-C comes
// on a thread of its own), and ends threads without unwinding them.
#include "quorin/platform/Threads.h"

namespace quorin::platform {

AsyncSignalsHeld::AsyncSignalsHeld() noexcept : saved_{} {}
AsyncSignalsHeld::~AsyncSignalsHeld() = default;

void RethrowIfThreadEnding() {}

}  // namespace quorin::platform
