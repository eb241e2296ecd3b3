#include "format/Bech32.h"

#include <algorithm>
#include <array>

namespace quorin::seal::bech32 {
namespace {

constexpr char kAlphabet[] = "qpzry9x8gf2tvdw0s3jn54khce6mua7l";
constexpr std::size_t kChecksumChars = 6;
constexpr std::size_t kLongest = 90;

std::uint32_t PolyMod(const std::vector<std::uint8_t>& values) {
  constexpr std::array<std::uint32_t, 5> kGenerator{0x3b6a57b2, 0x26508e6d, 0x1ea119fa, 0x3d4233dd,
                                                    0x2a1462b3};
  std::uint32_t check = 1;
  for (const std::uint8_t v : values) {
    const std::uint32_t top = check >> 25;
    check = (check & 0x1ffffff) << 5 ^ v;
    for (std::size_t i = 0; i < kGenerator.size(); ++i)
      if (top >> i & 1) check ^= kGenerator[i];
  }
  return check;
}

std::vector<std::uint8_t> ExpandPrefix(std::string_view prefix) {
  std::vector<std::uint8_t> out;
  for (const char c : prefix) out.push_back(static_cast<std::uint8_t>(c) >> 5);
  out.push_back(0);
  for (const char c : prefix) out.push_back(static_cast<std::uint8_t>(c) & 31);
  return out;
}

// Regroups bits; from 5 to 8 the leftover bits must be fewer than 5 and zero.
std::optional<std::vector<std::uint8_t>> Regroup(const std::vector<std::uint8_t>& in, int from,
                                                 int to, bool pad) {
  std::uint32_t acc = 0;
  int bits = 0;
  std::vector<std::uint8_t> out;
  const std::uint32_t mask = (1u << to) - 1;
  for (const std::uint8_t v : in) {
    acc = acc << from | v;
    bits += from;
    while (bits >= to) {
      bits -= to;
      out.push_back(static_cast<std::uint8_t>(acc >> bits & mask));
    }
    acc &= (1u << bits) - 1;
  }
  if (pad) {
    if (bits > 0) out.push_back(static_cast<std::uint8_t>(acc << (to - bits) & mask));
  } else if (bits >= from || acc != 0) {
    return std::nullopt;
  }
  return out;
}

}  // namespace

std::string Encode(std::string_view prefix, const std::vector<std::uint8_t>& data) {
  const std::vector<std::uint8_t> five = *Regroup(data, 8, 5, true);
  std::vector<std::uint8_t> values = ExpandPrefix(prefix);
  values.insert(values.end(), five.begin(), five.end());
  values.insert(values.end(), kChecksumChars, 0);
  const std::uint32_t check = PolyMod(values) ^ 1;
  std::string out(prefix);
  out += '1';
  for (const std::uint8_t v : five) out += kAlphabet[v];
  for (std::size_t i = 0; i < kChecksumChars; ++i) out += kAlphabet[check >> (5 * (5 - i)) & 31];
  return out;
}

std::optional<Decoded> Decode(std::string_view text, Fault* fault) {
  const auto fail = [&](Fault f) -> std::optional<Decoded> {
    if (fault) *fault = f;
    return std::nullopt;
  };
  if (fault) *fault = Fault::None;
  if (text.size() > kLongest) return fail(Fault::Length);
  bool lower = false, upper = false;
  for (const char c : text) {
    if (c < 33 || c > 126) return fail(Fault::Characters);
    lower |= c >= 'a' && c <= 'z';
    upper |= c >= 'A' && c <= 'Z';
  }
  if (lower && upper) return fail(Fault::MixedCase);
  std::string folded(text);
  for (char& c : folded)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  const std::size_t separator = folded.rfind('1');
  if (separator == std::string::npos || separator == 0 ||
      separator + 1 + kChecksumChars > folded.size())
    return fail(Fault::NoSeparator);
  Decoded out{folded.substr(0, separator), {}};
  std::vector<std::uint8_t> values = ExpandPrefix(out.prefix);
  std::vector<std::uint8_t> five;
  for (std::size_t i = separator + 1; i < folded.size(); ++i) {
    const char* at = std::char_traits<char>::find(kAlphabet, 32, folded[i]);
    if (at == nullptr) return fail(Fault::Characters);
    five.push_back(static_cast<std::uint8_t>(at - kAlphabet));
  }
  values.insert(values.end(), five.begin(), five.end());
  if (PolyMod(values) != 1) return fail(Fault::Checksum);
  five.resize(five.size() - kChecksumChars);
  auto bytes = Regroup(five, 5, 8, false);
  if (!bytes) return fail(Fault::Padding);
  out.data = std::move(*bytes);
  return out;
}

bool BeginsAs(std::string_view text, std::string_view prefix) {
  text.remove_prefix(std::min(text.find_first_not_of(" \t"), text.size()));
  const auto lower = [](char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  };
  if (text.size() <= prefix.size() || lower(text[prefix.size()]) != '1') return false;
  return std::equal(prefix.begin(), prefix.end(), text.begin(),
                    [&](char p, char c) { return p == lower(c); });
}

}  // namespace quorin::seal::bech32
