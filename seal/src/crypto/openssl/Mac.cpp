// HMAC-SHA-256 from OpenSSL's libcrypto.
#include <openssl/core_names.h>
#include <openssl/evp.h>

#include "crypto/Mac.h"

#include "quorin/seal/Errors.h"

namespace quorin::seal {

struct Mac::State {
  EVP_MAC* algorithm = nullptr;
  EVP_MAC_CTX* context = nullptr;
};

namespace {

[[noreturn]] void Fail() {
  throw SealError("OpenSSL's HMAC-SHA-256 is not available");
}

}  // namespace

Mac::Mac(std::span<const std::uint8_t> key) : keyed_(new State) {
  char digest[] = "SHA256";
  const OSSL_PARAM params[] = {OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_DIGEST, digest, 0),
                               OSSL_PARAM_construct_end()};
  keyed_->algorithm = EVP_MAC_fetch(nullptr, "HMAC", nullptr);
  if (keyed_->algorithm) keyed_->context = EVP_MAC_CTX_new(keyed_->algorithm);
  if (!keyed_->context || EVP_MAC_init(keyed_->context, key.data(), key.size(), params) != 1) {
    Release(keyed_);
    Fail();
  }
}

void Mac::Release(State* state) {
  EVP_MAC_CTX_free(state->context);  // OpenSSL wipes the keyed pads
  EVP_MAC_free(state->algorithm);
  delete state;
}

Mac::~Mac() {
  Release(keyed_);
}

MacContext::MacContext(const Mac& keyed) : context_(EVP_MAC_CTX_dup(keyed.keyed_->context)) {
  if (!context_) Fail();
}

MacContext::~MacContext() {
  EVP_MAC_CTX_free(static_cast<EVP_MAC_CTX*>(context_));
}

MacValue MacContext::Of(std::initializer_list<std::span<const std::uint8_t>> parts) {
  auto* message = static_cast<EVP_MAC_CTX*>(context_);
  // No key: HMAC starts again from the keyed state it kept.
  bool ok = EVP_MAC_init(message, nullptr, 0, nullptr) == 1;
  for (const auto& part : parts) ok = ok && EVP_MAC_update(message, part.data(), part.size()) == 1;
  MacValue value{};
  std::size_t length = 0;
  ok = ok && EVP_MAC_final(message, value.data(), &length, value.size()) == 1;
  if (!ok || length != value.size()) Fail();
  return value;
}

}  // namespace quorin::seal
