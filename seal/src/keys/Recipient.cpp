// Recipients and identities in print: Bech32 with the prefixes "quorin"
// (a recipient, "quorin1...") and "quorin-identity-" (an identity, in
// upper case so that it is not taken for a recipient at a glance).
#include <sodium.h>

#include <algorithm>
#include <stdexcept>
#include <string_view>

#include "format/Bech32.h"
#include "format/Stanza.h"
#include "quorin/platform/Random.h"

namespace quorin::seal {
namespace {

constexpr char kRecipientPrefix[] = "quorin";
constexpr char kIdentityPrefix[] = "quorin-identity-";

std::string Explain(bech32::Fault fault) {
  switch (fault) {
    case bech32::Fault::Checksum:
      return "its checksum does not match: a character is mistyped or missing";
    case bech32::Fault::MixedCase:
      return "it mixes upper and lower case";
    case bech32::Fault::Characters:
      return "it holds a character that cannot be in it";
    case bech32::Fault::Length:
      return "it is too long";
    default:
      return "it is not in the printed form";
  }
}

// The 32 bytes behind a printed key with the given prefix.
std::vector<std::uint8_t> ParseKey(std::string_view text, std::string_view prefix,
                                   const std::string& what) {
  bech32::Fault fault;
  const auto decoded = bech32::Decode(text, &fault);
  // Not echoed: an identity is secret.
  if (!decoded) throw std::invalid_argument("not a valid " + what + ": " + Explain(fault));
  if (decoded->prefix != prefix)
    throw std::invalid_argument("not a" + std::string(what[0] == 'i' ? "n " : " ") + what +
                                " (it starts with \"" + decoded->prefix + "1\", not \"" +
                                std::string(prefix) + "1\")");
  if (decoded->data.size() != Recipient::kKeyBytes)
    throw std::invalid_argument("not a valid " + what + ": it holds " +
                                std::to_string(decoded->data.size()) + " bytes, not 32");
  return decoded->data;
}

}  // namespace

bool LooksLikeIdentity(std::string_view text) {
  return bech32::BeginsAs(text, kIdentityPrefix);
}

bool LooksLikeRecipient(std::string_view text) {
  return bech32::BeginsAs(text, kRecipientPrefix);
}

Recipient Recipient::Parse(std::string_view text) {
  const auto key = ParseKey(text, kRecipientPrefix, "recipient");
  Recipient r;
  std::copy(key.begin(), key.end(), r.key_.begin());
  return r;
}

Recipient Recipient::Of(const Secret& identity) {
  Recipient r;
  r.key_ = PublicKeyOf(identity);
  return r;
}

std::string Recipient::ToString() const {
  return bech32::Encode(kRecipientPrefix, {key_.begin(), key_.end()});
}

Secret Secret::NewIdentity() {
  SecureBuffer key(crypto_scalarmult_SCALARBYTES);
  platform::RandomBytes(key.data(), key.size());
  return Secret(SecretKind::Identity, key.data(), key.size());
}

Secret Secret::ParseIdentity(std::string_view text) {
  auto key = ParseKey(text, kIdentityPrefix, "identity");
  Secret s(SecretKind::Identity, key.data(), key.size());
  sodium_memzero(key.data(), key.size());
  return s;
}

std::string Secret::IdentityString() const {
  if (kind_ != SecretKind::Identity) throw std::invalid_argument("this secret is not an identity");
  std::string text = bech32::Encode(kIdentityPrefix, {data_, data_ + size_});
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

}  // namespace quorin::seal
