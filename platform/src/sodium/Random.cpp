#include "quorin/platform/Random.h"

#include "Sodium.h"

namespace quorin::platform {

void RandomBytes(void* out, std::size_t size) {
  StartSodium();
  randombytes_buf(out, size);
}

std::uint32_t RandomBelow(std::uint32_t upper) {
  StartSodium();
  return randombytes_uniform(upper);
}

}  // namespace quorin::platform
