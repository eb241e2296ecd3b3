// Explicit little-endian loads and stores, independent of the host byte order.
//
// On a little-endian host each is one 32-bit move. Byte-by-byte code compiles
// to the same only when the compiler can prove the bytes are not also reached
// through another pointer; across two buffers that may alias it stays as four
// byte moves and shifts.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace cipher {

constexpr std::uint32_t LoadLE32(const std::uint8_t* p) noexcept {
  if (!std::is_constant_evaluated() && std::endian::native == std::endian::little) {
    std::uint32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
  }
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

constexpr void StoreLE32(std::uint32_t v, std::uint8_t* p) noexcept {
  if (!std::is_constant_evaluated() && std::endian::native == std::endian::little) {
    std::memcpy(p, &v, sizeof v);
    return;
  }
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
  p[2] = static_cast<std::uint8_t>(v >> 16);
  p[3] = static_cast<std::uint8_t>(v >> 24);
}

constexpr std::uint16_t LoadLE16(const std::uint8_t* p) noexcept {
  return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

constexpr void StoreLE16(std::uint16_t v, std::uint8_t* p) noexcept {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}

constexpr std::uint64_t LoadLE64(const std::uint8_t* p) noexcept {
  return LoadLE32(p) | static_cast<std::uint64_t>(LoadLE32(p + 4)) << 32;
}

constexpr void StoreLE64(std::uint64_t v, std::uint8_t* p) noexcept {
  StoreLE32(static_cast<std::uint32_t>(v), p);
  StoreLE32(static_cast<std::uint32_t>(v >> 32), p + 4);
}

}  // namespace cipher
