#include <windows.h>

#include "cipher/SecureWipe.h"

namespace cipher {

void SecureWipe(void* Data, std::size_t Size) noexcept {
  // SecureZeroMemory is guaranteed not to be elided as a dead store.
  if (Size != 0) SecureZeroMemory(Data, Size);
}

}  // namespace cipher
