#include "quorin/platform/Wipe.h"

#include <string.h>  // explicit_bzero

namespace quorin::platform {

void Wipe(void* data, std::size_t size) noexcept {
  // explicit_bzero is guaranteed not to be elided as a dead store.
  if (data != nullptr && size != 0) explicit_bzero(data, size);
}

}  // namespace quorin::platform
