// HMAC-SHA-256 from libsodium, for builds without OpenSSL's libcrypto
// (WebAssembly among them).
#include <sodium.h>

#include <new>

#include "crypto/Mac.h"

namespace quorin::seal {

struct Mac::State {
  crypto_auth_hmacsha256_state keyed;
};

namespace {

// A thread's copy: the keyed state it starts each message from.
struct Context {
  const crypto_auth_hmacsha256_state* keyed;
  crypto_auth_hmacsha256_state message;
};

}  // namespace

Mac::Mac(std::span<const std::uint8_t> key) : keyed_(new State) {
  crypto_auth_hmacsha256_init(&keyed_->keyed, key.data(), key.size());
}

void Mac::Release(State* state) {
  sodium_memzero(state, sizeof *state);  // the keyed pads
  delete state;
}

Mac::~Mac() {
  Release(keyed_);
}

MacContext::MacContext(const Mac& keyed) : context_(new Context{&keyed.keyed_->keyed, {}}) {}

MacContext::~MacContext() {
  auto* context = static_cast<Context*>(context_);
  sodium_memzero(&context->message, sizeof context->message);
  delete context;
}

MacValue MacContext::Of(std::initializer_list<std::span<const std::uint8_t>> parts) {
  auto* context = static_cast<Context*>(context_);
  context->message = *context->keyed;
  for (const auto& part : parts)
    crypto_auth_hmacsha256_update(&context->message, part.data(), part.size());
  MacValue value{};
  crypto_auth_hmacsha256_final(&context->message, value.data());
  return value;
}

}  // namespace quorin::seal
