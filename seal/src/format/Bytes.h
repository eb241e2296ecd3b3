// Little-endian integers in byte buffers, as the sealed format stores them
// (the cipher's loads and stores).
#pragma once

#include <cstdint>
#include <vector>

#include "cipher/Endian.h"

namespace quorin::seal::bytes {

inline void Put16(std::uint8_t* at, std::uint16_t v) {
  cipher::StoreLE16(v, at);
}
inline void Put32(std::uint8_t* at, std::uint32_t v) {
  cipher::StoreLE32(v, at);
}
inline void Put64(std::uint8_t* at, std::uint64_t v) {
  cipher::StoreLE64(v, at);
}
inline std::uint16_t Get16(const std::uint8_t* at) {
  return cipher::LoadLE16(at);
}
inline std::uint32_t Get32(const std::uint8_t* at) {
  return cipher::LoadLE32(at);
}
inline std::uint64_t Get64(const std::uint8_t* at) {
  return cipher::LoadLE64(at);
}

inline void Append16(std::vector<std::uint8_t>& out, std::uint16_t v) {
  std::uint8_t b[2];
  cipher::StoreLE16(v, b);
  out.insert(out.end(), b, b + 2);
}
inline void Append32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  std::uint8_t b[4];
  cipher::StoreLE32(v, b);
  out.insert(out.end(), b, b + 4);
}

}  // namespace quorin::seal::bytes
