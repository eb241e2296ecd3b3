// The WebAssembly build has no threads: sealing and opening run on the
// caller's.
#include "quorin/platform/Cores.h"

namespace quorin::platform {

unsigned UsableCores() noexcept {
  return 1;
}

}  // namespace quorin::platform
