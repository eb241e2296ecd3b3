// The sizes of the component's outputs, or nothing when an input is too
// long for its output to have a size.
#pragma once

#include <cstddef>
#include <limits>
#include <optional>

namespace quorin_capi {

inline constexpr std::size_t kMaxSize = std::numeric_limits<std::size_t>::max();

// Count-byte padding: always 1..16 bytes, to whole blocks.
inline std::optional<std::size_t> PaddedLength(std::size_t bytes) {
  if (bytes > kMaxSize - 16) return std::nullopt;
  return (bytes / 16 + 1) * 16;
}
// The radix-64 armour: ceil(4n/3) characters.
inline std::optional<std::size_t> ArmourLength(std::optional<std::size_t> bytes) {
  if (!bytes || *bytes / 3 > (kMaxSize - 4) / 4) return std::nullopt;
  return *bytes / 3 * 4 + (*bytes % 3 * 4 + 2) / 3;
}
inline std::optional<std::size_t> WithNul(std::optional<std::size_t> length) {
  if (!length || *length == kMaxSize) return std::nullopt;
  return *length + 1;
}
// The bytes that armour decodes to: floor(3n/4).
inline std::size_t DecodedLength(std::size_t characters) {
  return characters / 4 * 3 + characters % 4 * 3 / 4;
}

}  // namespace quorin_capi
