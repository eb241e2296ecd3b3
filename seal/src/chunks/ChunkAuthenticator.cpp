#include "chunks/ChunkAuthenticator.h"

#include <sodium.h>

#include "format/Bytes.h"

namespace quorin::seal {
namespace {

constexpr char kPersonal[] = "QuorinChunkTagV2";
static_assert(sizeof kPersonal - 1 == crypto_generichash_blake2b_PERSONALBYTES);

}  // namespace

Poly1305Value ChunkAuthenticator::Of(std::uint64_t index, bool last, const std::uint8_t* chunk,
                                     std::size_t size) {
  std::uint8_t place[kMacBytes + 9];
  std::copy(headerMac_.begin(), headerMac_.end(), place);
  bytes::Put64(place + kMacBytes, index);
  place[kMacBytes + 8] = last ? 1 : 0;
  crypto_generichash_blake2b_salt_personal(oneTimeKey_.data(), oneTimeKey_.size(), place,
                                           sizeof place, tagKey_.data(), tagKey_.size(), nullptr,
                                           reinterpret_cast<const std::uint8_t*>(kPersonal));
  return poly1305_.Of(oneTimeKey_.data(), {chunk, size});
}

bool ChunkAuthenticator::Matches(std::uint64_t index, bool last, const std::uint8_t* chunk,
                                 std::size_t size, const std::uint8_t* tag) {
  const Poly1305Value expected = Of(index, last, chunk, size);
  return crypto_verify_16(expected.data(), tag) == 0;
}

}  // namespace quorin::seal
