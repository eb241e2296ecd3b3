// Recipient stanzas: the file key wrapped for one passphrase, key file or
// X25519 public key. Each wrap key is fresh (a new salt or a new ephemeral
// key per stanza), and the file key is sealed under it with
// ChaCha20-Poly1305 (libsodium's IETF construction, a nonce of zeros),
// with the stanza's type and fields before the wrapped key as associated
// data.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>

#include "crypto/SecureBuffer.h"
#include "format/FormatV2.h"

namespace quorin::seal {

inline constexpr std::size_t kFileKeyBytes = 32;

// Where fresh random bytes come from: the system, or a test's fixed values.
using RandomFill = std::function<void(std::uint8_t*, std::size_t)>;

format2::Stanza WrapForSecret(const Secret& secret, const Costs& costs, const SecureBuffer& fileKey,
                              const RandomFill& random);
format2::Stanza WrapForRecipient(const Recipient& recipient, const SecureBuffer& fileKey,
                                 const RandomFill& random);

// The file key, when this secret opens this stanza; nothing for a stanza of
// another kind or a secret that does not open it. Throws SealError when
// Argon2id cannot have the memory the stanza asks for.
std::optional<SecureBuffer> Unwrap(const format2::Stanza& stanza, const Secret& secret);

// The length of the stanza body that wraps a file key for a secret of this
// kind (an identity's is its recipient's).
std::size_t StanzaBodyBytes(SecretKind kind);

// An identity's public key.
std::array<std::uint8_t, Recipient::kKeyBytes> PublicKeyOf(const Secret& identity);

}  // namespace quorin::seal
