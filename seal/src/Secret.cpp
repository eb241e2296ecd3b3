#include <sodium.h>

#include <cstring>
#include <stdexcept>

#include "quorin/platform/SecretMemory.h"
#include "quorin/seal/Seal.h"

namespace quorin::seal {

Costs Costs::Interactive() {
  return {crypto_pwhash_OPSLIMIT_INTERACTIVE, crypto_pwhash_MEMLIMIT_INTERACTIVE};
}
Costs Costs::Moderate() {
  return {crypto_pwhash_OPSLIMIT_MODERATE, crypto_pwhash_MEMLIMIT_MODERATE};
}
Costs Costs::Sensitive() {
  return {crypto_pwhash_OPSLIMIT_SENSITIVE, crypto_pwhash_MEMLIMIT_SENSITIVE};
}

Secret::Secret(SecretKind kind, const void* data, std::size_t size) : kind_(kind), size_(size) {
  data_ = static_cast<std::uint8_t*>(platform::AllocateSecret(size));
  std::memcpy(data_, data, size);
}

Secret Secret::Passphrase(std::string_view passphrase) {
  if (passphrase.empty()) throw std::invalid_argument("the passphrase is empty");
  return Secret(SecretKind::Passphrase, passphrase.data(), passphrase.size());
}

Secret Secret::KeyFileBytes(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < 16 || bytes.size() > kLargestKeyFile)
    throw std::invalid_argument("a key file holds 16 to " + std::to_string(kLargestKeyFile) +
                                " bytes (quorin keygen makes 32)");
  return Secret(SecretKind::KeyFile, bytes.data(), bytes.size());
}

Secret Secret::Copy() const {
  return Secret(kind_, data_, size_);
}

Secret::Secret(Secret&& other) noexcept
    : kind_(other.kind_), data_(other.data_), size_(other.size_) {
  other.data_ = nullptr;
  other.size_ = 0;
}

Secret& Secret::operator=(Secret&& other) noexcept {
  if (this != &other) {
    platform::FreeSecret(data_);
    kind_ = other.kind_;
    data_ = other.data_;
    size_ = other.size_;
    other.data_ = nullptr;
    other.size_ = 0;
  }
  return *this;
}

Secret::~Secret() {
  platform::FreeSecret(data_);
}

}  // namespace quorin::seal
