// From the secret to the two keys a sealed file uses. A 32-byte master
// comes from Argon2id over the passphrase and the salt, or from BLAKE2b over
// the key file's bytes keyed with the salt; the encryption key and the MAC
// key are separate subkeys of it (libsodium's crypto_kdf, context
// "QuorSeal", ids 1 and 2), so one never serves as the other.
#pragma once

#include "crypto/SecureBuffer.h"
#include "format/Format.h"

namespace quorin::seal {

inline constexpr char kKdfContext[] = "QuorSeal";
inline constexpr std::uint64_t kEncryptionKeyId = 1;
inline constexpr std::uint64_t kMacKeyId = 2;
inline constexpr std::size_t kMasterBytes = 32;
inline constexpr std::size_t kMacKeyBytes = 32;

struct Keys {
  SecureBuffer encryption;  // keyBits / 8 bytes
  SecureBuffer mac;         // kMacKeyBytes
};

// Throws SealError when Argon2id cannot have the memory the header asks for.
Keys DeriveKeys(const Secret& secret, const format::Header& header);

}  // namespace quorin::seal
