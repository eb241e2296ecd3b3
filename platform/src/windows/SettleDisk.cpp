#include "quorin/platform/SettleDisk.h"

namespace quorin::platform {

// Windows has no call that writes out every file's cached pages; its lazy
// writer runs on its own, once a second.
void SettleDisk() {}

}  // namespace quorin::platform
