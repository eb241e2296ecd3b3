#include "format/Stanza.h"

#include <sodium.h>

#include <cstring>
#include <stdexcept>

#include "format/Bytes.h"

namespace quorin::seal {
namespace {

using format2::Stanza;
using format2::StanzaType;

constexpr std::size_t kSaltBytes = 16;
constexpr std::size_t kWrappedBytes = kFileKeyBytes + crypto_aead_chacha20poly1305_ietf_ABYTES;
constexpr std::size_t kPublicBytes = crypto_scalarmult_BYTES;
constexpr char kKeyFilePersonal[] = "QuorinKeyFile v2";
constexpr char kX25519Personal[] = "QuorinX25519 key";
static_assert(sizeof kKeyFilePersonal - 1 == crypto_generichash_blake2b_PERSONALBYTES);
static_assert(sizeof kX25519Personal - 1 == crypto_generichash_blake2b_PERSONALBYTES);
static_assert(crypto_aead_chacha20poly1305_ietf_KEYBYTES == 32);

// The associated data: the stanza's type, then its body up to the wrapped key.
std::vector<std::uint8_t> AssociatedData(std::uint16_t type, const std::uint8_t* fields,
                                         std::size_t size) {
  std::vector<std::uint8_t> ad(2 + size);
  bytes::Put16(ad.data(), type);
  if (size > 0) std::memcpy(&ad[2], fields, size);
  return ad;
}

Stanza Wrap(StanzaType type, std::vector<std::uint8_t> fields, const SecureBuffer& wrapKey,
            const SecureBuffer& fileKey) {
  const auto ad = AssociatedData(static_cast<std::uint16_t>(type), fields.data(), fields.size());
  const std::uint8_t nonce[crypto_aead_chacha20poly1305_ietf_NPUBBYTES] = {};
  const std::size_t at = fields.size();
  fields.resize(at + kWrappedBytes);
  crypto_aead_chacha20poly1305_ietf_encrypt(&fields[at], nullptr, fileKey.data(), fileKey.size(),
                                            ad.data(), ad.size(), nullptr, nonce, wrapKey.data());
  return Stanza{static_cast<std::uint16_t>(type), std::move(fields)};
}

std::optional<SecureBuffer> Open(const Stanza& s, const SecureBuffer& wrapKey) {
  const std::size_t at = s.body.size() - kWrappedBytes;
  const auto ad = AssociatedData(s.type, s.body.data(), at);
  const std::uint8_t nonce[crypto_aead_chacha20poly1305_ietf_NPUBBYTES] = {};
  SecureBuffer fileKey(kFileKeyBytes);
  if (crypto_aead_chacha20poly1305_ietf_decrypt(fileKey.data(), nullptr, nullptr, &s.body[at],
                                                kWrappedBytes, ad.data(), ad.size(), nonce,
                                                wrapKey.data()) != 0)
    return std::nullopt;
  return fileKey;
}

SecureBuffer PassphraseKey(const Secret& secret, const Costs& costs, const std::uint8_t* salt) {
  static_assert(kSaltBytes == crypto_pwhash_SALTBYTES);
  SecureBuffer key(32);
  const auto p = secret.Bytes();
  if (crypto_pwhash(key.data(), key.size(), reinterpret_cast<const char*>(p.data()), p.size(), salt,
                    costs.passes, static_cast<std::size_t>(costs.memoryBytes),
                    crypto_pwhash_ALG_ARGON2ID13) != 0)
    throw SealError("hashing the passphrase needs " + std::to_string(costs.memoryBytes >> 20) +
                    " MiB of memory, which the system refused");
  return key;
}

SecureBuffer KeyFileKey(const Secret& secret, const std::uint8_t* salt) {
  SecureBuffer key(32);
  const auto k = secret.Bytes();
  crypto_generichash_blake2b_salt_personal(key.data(), key.size(), k.data(), k.size(), nullptr, 0,
                                           salt,
                                           reinterpret_cast<const std::uint8_t*>(kKeyFilePersonal));
  return key;
}

// BLAKE2b of the ephemeral and the recipient's public keys, keyed with
// their shared secret; nothing when the shared secret is all zeros (a
// low-order point, which no honest sealer writes).
std::optional<SecureBuffer> X25519Key(const std::uint8_t* secretKey,
                                      const std::uint8_t* theirPublic,
                                      const std::uint8_t* ephemeral,
                                      const std::uint8_t* recipient) {
  SecureBuffer shared(crypto_scalarmult_BYTES);
  if (crypto_scalarmult(shared.data(), secretKey, theirPublic) != 0) return std::nullopt;
  std::uint8_t both[2 * kPublicBytes];
  std::memcpy(both, ephemeral, kPublicBytes);
  std::memcpy(both + kPublicBytes, recipient, kPublicBytes);
  SecureBuffer key(32);
  crypto_generichash_blake2b_salt_personal(key.data(), key.size(), both, sizeof both, shared.data(),
                                           shared.size(), nullptr,
                                           reinterpret_cast<const std::uint8_t*>(kX25519Personal));
  return key;
}

}  // namespace

std::size_t StanzaBodyBytes(SecretKind kind) {
  switch (kind) {
    case SecretKind::Passphrase:
      return 4 + 4 + kSaltBytes + kWrappedBytes;  // passes, KiB, salt
    case SecretKind::KeyFile:
      return kSaltBytes + kWrappedBytes;
    case SecretKind::Identity:
      break;
  }
  return kPublicBytes + kWrappedBytes;  // the ephemeral public key
}

std::array<std::uint8_t, Recipient::kKeyBytes> PublicKeyOf(const Secret& identity) {
  if (identity.Kind() != SecretKind::Identity)
    throw std::invalid_argument("only an identity has a recipient");
  std::array<std::uint8_t, Recipient::kKeyBytes> pk{};
  crypto_scalarmult_base(pk.data(), identity.Bytes().data());
  return pk;
}

Stanza WrapForSecret(const Secret& secret, const Costs& costs, const SecureBuffer& fileKey,
                     const RandomFill& random) {
  if (secret.Kind() == SecretKind::Identity) {
    Recipient r = Recipient::Of(secret);
    return WrapForRecipient(r, fileKey, random);
  }
  std::uint8_t salt[kSaltBytes];
  random(salt, sizeof salt);
  std::vector<std::uint8_t> fields;
  if (secret.Kind() == SecretKind::Passphrase) {
    bytes::Append32(fields, costs.passes);
    bytes::Append32(fields, static_cast<std::uint32_t>(costs.memoryBytes >> 10));
    fields.insert(fields.end(), salt, salt + sizeof salt);
    return Wrap(StanzaType::Passphrase, std::move(fields), PassphraseKey(secret, costs, salt),
                fileKey);
  }
  fields.assign(salt, salt + sizeof salt);
  return Wrap(StanzaType::KeyFile, std::move(fields), KeyFileKey(secret, salt), fileKey);
}

Stanza WrapForRecipient(const Recipient& recipient, const SecureBuffer& fileKey,
                        const RandomFill& random) {
  SecureBuffer ephemeralSecret(crypto_scalarmult_SCALARBYTES);
  std::uint8_t ephemeral[kPublicBytes];
  // A random scalar gives a usable shared secret with any valid public key;
  // a low-order "public key" gives none, and is refused.
  random(ephemeralSecret.data(), ephemeralSecret.size());
  crypto_scalarmult_base(ephemeral, ephemeralSecret.data());
  const std::optional<SecureBuffer> key =
      X25519Key(ephemeralSecret.data(), recipient.Key().data(), ephemeral, recipient.Key().data());
  if (!key)
    throw std::invalid_argument("the recipient " + recipient.ToString() +
                                " is not a usable public key");
  return Wrap(StanzaType::X25519, std::vector<std::uint8_t>(ephemeral, ephemeral + kPublicBytes),
              *key, fileKey);
}

std::optional<SecureBuffer> Unwrap(const Stanza& s, const Secret& secret) {
  SecretKind kind;
  if (!format2::KnownType(s.type, &kind) || kind != secret.Kind()) return std::nullopt;
  const std::uint8_t* b = s.body.data();
  switch (kind) {
    case SecretKind::Passphrase:
      return Open(s,
                  PassphraseKey(secret, {bytes::Get32(b), std::uint64_t{bytes::Get32(b + 4)} << 10},
                                b + 8));
    case SecretKind::KeyFile:
      return Open(s, KeyFileKey(secret, b));
    case SecretKind::Identity: {
      const auto mine = PublicKeyOf(secret);
      const auto key = X25519Key(secret.Bytes().data(), b, b, mine.data());
      if (!key) return std::nullopt;
      return Open(s, *key);
    }
  }
  return std::nullopt;
}

}  // namespace quorin::seal
