#include "ChunkTag.h"

#include <sodium.h>

namespace quorin::seal {

Tag ChunkTag(const SecureBuffer& macKey, const format::HeaderBytes& header, std::uint64_t index,
             bool last, const std::uint8_t* chunk, std::size_t size) {
  std::uint8_t position[9];
  for (int i = 0; i < 8; ++i) position[i] = static_cast<std::uint8_t>(index >> (8 * i));
  position[8] = last ? 1 : 0;
  crypto_auth_hmacsha256_state state;
  crypto_auth_hmacsha256_init(&state, macKey.data(), macKey.size());
  crypto_auth_hmacsha256_update(&state, header.data(), header.size());
  crypto_auth_hmacsha256_update(&state, position, sizeof position);
  crypto_auth_hmacsha256_update(&state, chunk, size);
  Tag tag;
  crypto_auth_hmacsha256_final(&state, tag.data());
  sodium_memzero(&state, sizeof state);  // it holds the key's inner and outer pads
  return tag;
}

bool TagMatches(const Tag& expected, const std::uint8_t* stored) {
  return crypto_verify_32(expected.data(), stored) == 0;
}

}  // namespace quorin::seal
