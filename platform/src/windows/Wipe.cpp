#include <windows.h>

#include "quorin/platform/Wipe.h"

namespace quorin::platform {

void Wipe(void* data, std::size_t size) noexcept {
  // SecureZeroMemory is guaranteed not to be elided as a dead store.
  if (data != nullptr && size != 0) SecureZeroMemory(data, size);
}

}  // namespace quorin::platform
