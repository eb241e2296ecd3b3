// Version 2's chunk tags: Poly1305 over the chunk's ciphertext under a key
// for that chunk alone,
//   key_i = BLAKE2b-256(header MAC || i (u64) || last (1 byte)), keyed with
//           the tag key, personalisation "QuorinChunkTagV2",
// so that every key tags one message: the header MAC binds a tag to its
// file, the index and the flag to its place, and a reordered, dropped,
// repeated or cut-off chunk gets another key and fails. One a thread.
#pragma once

#include <cstddef>
#include <cstdint>

#include "crypto/Mac.h"
#include "crypto/Poly1305.h"
#include "crypto/SecureBuffer.h"

namespace quorin::seal {

inline constexpr std::size_t kChunkTagBytes = kPoly1305Bytes;

class ChunkAuthenticator {
 public:
  // Both are kept by reference and must outlive this.
  ChunkAuthenticator(const SecureBuffer& tagKey, const MacValue& headerMac)
      : tagKey_(tagKey), headerMac_(headerMac), oneTimeKey_(kPoly1305KeyBytes) {}

  Poly1305Value Of(std::uint64_t index, bool last, const std::uint8_t* chunk, std::size_t size);
  // Compares in constant time with a stored tag.
  bool Matches(std::uint64_t index, bool last, const std::uint8_t* chunk, std::size_t size,
               const std::uint8_t* tag);

 private:
  const SecureBuffer& tagKey_;
  const MacValue& headerMac_;
  SecureBuffer oneTimeKey_;
  Poly1305 poly1305_;
};

}  // namespace quorin::seal
