#include "keys/PayloadKeys.h"

#include <sodium.h>

#include "format/Bytes.h"

namespace quorin::seal {
namespace {

constexpr char kRootPersonal[] = "QuorinPayload v2";
constexpr char kContext[] = "QuorSea2";
static_assert(sizeof kRootPersonal - 1 == crypto_generichash_blake2b_PERSONALBYTES);
static_assert(sizeof kContext - 1 == crypto_kdf_CONTEXTBYTES);

SecureBuffer Subkey(const SecureBuffer& root, std::size_t size, std::uint64_t id) {
  SecureBuffer key(size);
  crypto_kdf_derive_from_key(key.data(), size, id, kContext, root.data());
  return key;
}

}  // namespace

PayloadKeys DerivePayloadKeys(const SecureBuffer& fileKey, const format2::Nonce& nonce,
                              int keyBits) {
  SecureBuffer root(crypto_kdf_KEYBYTES);
  crypto_generichash_blake2b_salt_personal(root.data(), root.size(), nonce.data(), nonce.size(),
                                           fileKey.data(), fileKey.size(), nullptr,
                                           reinterpret_cast<const std::uint8_t*>(kRootPersonal));
  return PayloadKeys{Subkey(root, 32, 1), Subkey(root, static_cast<std::size_t>(keyBits / 8), 2),
                     Subkey(root, 32, 3), Subkey(root, 32, 4)};
}

void ChunkIV(const SecureBuffer& ivKey, std::uint64_t index, std::uint8_t* iv16) {
  std::uint8_t number[8];
  bytes::Put64(number, index);
  crypto_generichash(iv16, 16, number, sizeof number, ivKey.data(), ivKey.size());
}

}  // namespace quorin::seal
