#include "cipher/SecureWipe.h"

#include <string.h>  // explicit_bzero

namespace cipher {

void SecureWipe(void* Data, std::size_t Size) noexcept {
  // explicit_bzero is guaranteed not to be elided as a dead store.
  if (Size != 0) explicit_bzero(Data, Size);
}

}  // namespace cipher
