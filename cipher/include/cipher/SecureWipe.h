// Zeroing of secrets that the optimiser may not remove, even when the memory
// is never read again.
#pragma once

#include <cstddef>
#include <cstring>

namespace cipher {

void SecureWipe(void* Data, std::size_t Size) noexcept;

// Objects of a size known here are zeroed inline (a few stores, no call): the
// empty asm claims to read the memory, so the stores are never dead.
template <typename T>
void SecureWipeObject(T& Object) noexcept {
#if defined(__GNUC__)
  std::memset(static_cast<void*>(&Object), 0, sizeof(Object));
  asm volatile("" : : "r"(&Object) : "memory");
#else
  SecureWipe(&Object, sizeof(Object));
#endif
}

}  // namespace cipher
