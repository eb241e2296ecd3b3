// The WebAssembly module for engines without SIMD: no 128-bit kernel, so
// the dispatcher keeps to the portable one and the module validates there.
#include "Rc6Kernels.h"

namespace cipher::kernels {

bool HasSimd128() noexcept {
  return false;
}

void EncryptSimd128(const Rc6RoundKeys&, const std::uint8_t*, std::uint8_t*, std::size_t) noexcept {
}
void DecryptSimd128(const Rc6RoundKeys&, const std::uint8_t*, std::uint8_t*, std::size_t) noexcept {
}

}  // namespace cipher::kernels
