// Poly1305 from libsodium, for builds without OpenSSL's libcrypto
// (WebAssembly among them). It keeps no state between messages.
#include <sodium.h>

#include "crypto/Poly1305.h"

namespace quorin::seal {

static_assert(crypto_onetimeauth_poly1305_KEYBYTES == kPoly1305KeyBytes);
static_assert(crypto_onetimeauth_poly1305_BYTES == kPoly1305Bytes);

struct Poly1305::State {};

Poly1305::Poly1305() : state_(nullptr) {}

Poly1305::~Poly1305() {
  delete state_;
}

Poly1305Value Poly1305::Of(const std::uint8_t* oneTimeKey, std::span<const std::uint8_t> message) {
  Poly1305Value value{};
  crypto_onetimeauth_poly1305(value.data(), message.data(), message.size(), oneTimeKey);
  return value;
}

}  // namespace quorin::seal
