// Count-byte padding of the final chunk, shared by the stream and file operations.
#pragma once

#include <cstdint>
#include <cstring>

namespace Rc6::padding {

// Appends p = 16 - (n mod 16) bytes of value p at Data[n..]; returns n + p.
inline std::int32_t Pad(std::uint8_t* Data, std::int32_t n) {
  const std::int32_t p = 16 - n % 16;
  std::memset(Data + n, p, static_cast<std::size_t>(p));
  return n + p;
}

}  // namespace Rc6::padding
