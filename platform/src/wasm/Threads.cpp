// WebAssembly runs on one thread with no signals.
#include "quorin/platform/Threads.h"

namespace quorin::platform {

AsyncSignalsHeld::AsyncSignalsHeld() noexcept : saved_{} {}
AsyncSignalsHeld::~AsyncSignalsHeld() = default;

void RethrowIfThreadEnding() {}

}  // namespace quorin::platform
