// Random bytes from the system's generator, through libsodium.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quorin::platform {

// Fills out with size random bytes. Throws std::runtime_error when the
// generator cannot start.
void RandomBytes(void* out, std::size_t size);

// A uniformly random number below upper (upper > 0).
std::uint32_t RandomBelow(std::uint32_t upper);

}  // namespace quorin::platform
