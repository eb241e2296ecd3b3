#include "keys/Keys.h"

#include <sodium.h>

namespace quorin::seal {
namespace {

SecureBuffer Master(const Secret& secret, const format::Header& h) {
  SecureBuffer master(kMasterBytes);
  const auto bytes = secret.Bytes();
  if (secret.Kind() == SecretKind::Passphrase) {
    if (crypto_pwhash(master.data(), master.size(), reinterpret_cast<const char*>(bytes.data()),
                      bytes.size(), h.salt.data(), h.info.costs.passes,
                      static_cast<std::size_t>(h.info.costs.memoryBytes),
                      crypto_pwhash_ALG_ARGON2ID13) != 0)
      throw SealError("hashing the passphrase needs " +
                      std::to_string(h.info.costs.memoryBytes >> 20) +
                      " MiB of memory, which the system refused");
  } else {
    crypto_generichash(master.data(), master.size(), bytes.data(), bytes.size(), h.salt.data(),
                       h.salt.size());
  }
  return master;
}

SecureBuffer Subkey(const SecureBuffer& master, std::size_t size, std::uint64_t id) {
  SecureBuffer key(size);
  crypto_kdf_derive_from_key(key.data(), size, id, kKdfContext, master.data());
  return key;
}

}  // namespace

Keys DeriveKeys(const Secret& secret, const format::Header& h) {
  static_assert(sizeof kKdfContext - 1 == crypto_kdf_CONTEXTBYTES);
  static_assert(kMasterBytes == crypto_kdf_KEYBYTES);
  static_assert(kMacKeyBytes == crypto_auth_hmacsha256_KEYBYTES);
  static_assert(format::kSaltBytes == crypto_pwhash_SALTBYTES);
  const SecureBuffer master = Master(secret, h);
  return Keys{Subkey(master, static_cast<std::size_t>(h.info.keyBits / 8), kEncryptionKeyId),
              Subkey(master, kMacKeyBytes, kMacKeyId)};
}

}  // namespace quorin::seal
