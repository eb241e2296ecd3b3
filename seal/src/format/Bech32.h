// Bech32 (BIP 173): a human-readable part, "1", base-32 data and a six-
// character checksum that catches any one or two mistyped characters and
// most longer slips. Recipient and identity strings use it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorin::seal::bech32 {

// Lower case; `prefix` is the human-readable part, in lower case.
std::string Encode(std::string_view prefix, const std::vector<std::uint8_t>& data);

struct Decoded {
  std::string prefix;  // lower case
  std::vector<std::uint8_t> data;
};

// Why a string is not Bech32, for the message that refuses it.
enum class Fault { None, Characters, MixedCase, NoSeparator, Checksum, Padding, Length };

// Accepts all-lower or all-upper case, at most 90 characters.
std::optional<Decoded> Decode(std::string_view text, Fault* fault = nullptr);
// Whether text, after leading blanks, begins with prefix and its separator
// "1" in either case: printed as such, mistyped or not.
bool BeginsAs(std::string_view text, std::string_view prefix);

}  // namespace quorin::seal::bech32
