// Zeroing of secrets that the optimiser may not remove, even when the memory
// is never read again.
#pragma once

#include <cstddef>

namespace cipher {

void SecureWipe(void* Data, std::size_t Size) noexcept;

template <typename T>
void SecureWipeObject(T& Object) noexcept {
  SecureWipe(&Object, sizeof(Object));
}

}  // namespace cipher
