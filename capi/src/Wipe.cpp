#include "Wipe.h"

#include "quorin/platform/Wipe.h"

namespace quorin_capi {

void Wipe(void* data, std::size_t size) noexcept {
  quorin::platform::Wipe(data, size);
}

}  // namespace quorin_capi
