// Poly1305 from OpenSSL's libcrypto.
#include <openssl/evp.h>

#include "../Poly1305.h"

#include "quorin/seal/Errors.h"

namespace quorin::seal {
namespace {

[[noreturn]] void Fail() {
  throw SealError("OpenSSL's Poly1305 is not available");
}

}  // namespace

Poly1305::Poly1305() : algorithm_(EVP_MAC_fetch(nullptr, "POLY1305", nullptr)), context_(nullptr) {
  if (algorithm_) context_ = EVP_MAC_CTX_new(static_cast<EVP_MAC*>(algorithm_));
  if (!context_) {
    EVP_MAC_free(static_cast<EVP_MAC*>(algorithm_));
    Fail();
  }
}

Poly1305::~Poly1305() {
  EVP_MAC_CTX_free(static_cast<EVP_MAC_CTX*>(context_));  // wipes the key it holds
  EVP_MAC_free(static_cast<EVP_MAC*>(algorithm_));
}

Poly1305Value Poly1305::Of(const std::uint8_t* oneTimeKey, std::span<const std::uint8_t> message) {
  auto* context = static_cast<EVP_MAC_CTX*>(context_);
  Poly1305Value value{};
  std::size_t length = 0;
  const bool ok = EVP_MAC_init(context, oneTimeKey, kPoly1305KeyBytes, nullptr) == 1 &&
                  EVP_MAC_update(context, message.data(), message.size()) == 1 &&
                  EVP_MAC_final(context, value.data(), &length, value.size()) == 1;
  if (!ok || length != value.size()) Fail();
  return value;
}

}  // namespace quorin::seal
