// Poly1305 from OpenSSL's libcrypto.
#include <openssl/evp.h>

#include "crypto/Poly1305.h"

#include "quorin/seal/Errors.h"

namespace quorin::seal {
namespace {

[[noreturn]] void Fail() {
  throw SealError("OpenSSL's Poly1305 is not available");
}

}  // namespace

struct Poly1305::State {
  EVP_MAC* algorithm = nullptr;
  EVP_MAC_CTX* context = nullptr;
};

Poly1305::Poly1305() : state_(new State) {
  state_->algorithm = EVP_MAC_fetch(nullptr, "POLY1305", nullptr);
  if (state_->algorithm) state_->context = EVP_MAC_CTX_new(state_->algorithm);
  if (!state_->context) {
    EVP_MAC_free(state_->algorithm);
    delete state_;
    Fail();
  }
}

Poly1305::~Poly1305() {
  EVP_MAC_CTX_free(state_->context);  // wipes the key it holds
  EVP_MAC_free(state_->algorithm);
  delete state_;
}

Poly1305Value Poly1305::Of(const std::uint8_t* oneTimeKey, std::span<const std::uint8_t> message) {
  EVP_MAC_CTX* context = state_->context;
  Poly1305Value value{};
  std::size_t length = 0;
  const bool ok = EVP_MAC_init(context, oneTimeKey, kPoly1305KeyBytes, nullptr) == 1 &&
                  EVP_MAC_update(context, message.data(), message.size()) == 1 &&
                  EVP_MAC_final(context, value.data(), &length, value.size()) == 1;
  if (!ok || length != value.size()) Fail();
  return value;
}

}  // namespace quorin::seal
