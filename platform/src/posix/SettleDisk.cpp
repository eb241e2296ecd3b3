#include "quorin/platform/SettleDisk.h"

#include <unistd.h>

namespace quorin::platform {

void SettleDisk() {
  ::sync();
}

}  // namespace quorin::platform
