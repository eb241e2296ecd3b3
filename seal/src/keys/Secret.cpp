#include <sodium.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string_view>

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

namespace {

// Whether a line of text is a printed recipient (or, with identity, an
// identity): a file of them given as a key file is a mistake, and for
// recipients a dangerous one, since their text is public.
bool IsPrinted(std::string_view line, bool identity) {
  // Parsed only when it starts as one does: most key files are random bytes.
  if (!(identity ? LooksLikeIdentity(line) : LooksLikeRecipient(line))) return false;
  try {
    if (identity)
      Secret::ParseIdentity(line);
    else
      Recipient::Parse(line);
    return true;
  } catch (const std::invalid_argument&) {
    return false;
  }
}

// Refuses bytes whose lines (blank ones and # comments aside) hold a
// recipient or an identity.
void RefusePrintedKeys(std::span<const std::uint8_t> bytes) {
  const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  for (std::size_t at = 0; at < text.size();) {
    std::size_t end = text.find('\n', at);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(at, end - at);
    at = end + 1;
    const std::size_t first = line.find_first_not_of(" \t\r");
    if (first == std::string_view::npos || line[first] == '#') continue;
    line = line.substr(first, line.find_last_not_of(" \t\r") + 1 - first);
    if (IsPrinted(line, false))
      throw std::invalid_argument(
          "the key file holds recipients (public keys), not a key: anyone could open what it "
          "seals. Seal to them as recipients (-R FILE)");
    if (IsPrinted(line, true))
      throw std::invalid_argument(
          "the key file holds an identity, not a key: open with it as an identity (-i FILE)");
  }
}

}  // namespace

Secret Secret::KeyFileBytes(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < kSmallestKeyFile || bytes.size() > kLargestKeyFile)
    throw std::invalid_argument("a key file holds " + std::to_string(kSmallestKeyFile) + " to " +
                                std::to_string(kLargestKeyFile) +
                                " bytes (quorin keygen makes 32)");
  RefusePrintedKeys(bytes);
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
