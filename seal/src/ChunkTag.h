// A chunk's tag: HMAC-SHA-256 under the MAC key over the header, the chunk's
// index (u64, little-endian), a last-chunk flag (one byte, 1 for the last
// chunk, else 0) and the chunk's ciphertext. The index and the flag make a
// reordered, dropped, duplicated or cut-off chunk fail its tag.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "Format.h"
#include "SecureBuffer.h"

namespace quorin::seal {

using Tag = std::array<std::uint8_t, format::kTagBytes>;

Tag ChunkTag(const SecureBuffer& macKey, const format::HeaderBytes& header, std::uint64_t index,
             bool last, const std::uint8_t* chunk, std::size_t size);

// Compares in constant time.
bool TagMatches(const Tag& expected, const std::uint8_t* stored);

}  // namespace quorin::seal
