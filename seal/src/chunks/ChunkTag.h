// A chunk's tag: HMAC-SHA-256 under the tag key over what binds the chunk to
// its file (version 1: the header; version 2: the header's MAC), the chunk's
// index (u64, little-endian), a last-chunk flag (one byte, 1 for the last
// chunk, else 0) and the chunk's ciphertext. The index and the flag make a
// reordered, dropped, duplicated or cut-off chunk fail its tag.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "crypto/Mac.h"
#include "format/Format.h"

namespace quorin::seal {

using Tag = MacValue;
static_assert(format::kTagBytes == kMacBytes);

Tag ChunkTag(MacContext& tagKey, std::span<const std::uint8_t> binding, std::uint64_t index,
             bool last, const std::uint8_t* chunk, std::size_t size);

inline bool TagMatches(const Tag& expected, const std::uint8_t* stored) {
  return MacMatches(expected, stored);
}

}  // namespace quorin::seal
