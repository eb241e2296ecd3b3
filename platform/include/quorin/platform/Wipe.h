// Zeroing of secrets that the optimiser may not remove, even when the memory
// is never read again: the one wipe every part of the project uses.
#pragma once

#include <cstddef>
#include <cstring>

namespace quorin::platform {

void Wipe(void* data, std::size_t size) noexcept;

// Objects of a size known here are zeroed inline (a few stores, no call): the
// empty asm claims to read the memory, so the stores are never dead.
template <typename T>
void WipeObject(T& object) noexcept {
#if defined(__GNUC__)
  std::memset(static_cast<void*>(&object), 0, sizeof(object));
  asm volatile("" : : "r"(&object) : "memory");
#else
  Wipe(&object, sizeof(object));
#endif
}

}  // namespace quorin::platform
