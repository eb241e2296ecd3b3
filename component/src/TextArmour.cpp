// The radix-64 text armour: three bytes to four characters, most significant
// bits first, no padding character and no line structure. The text's length
// alone tells how many bytes it carries.
#include <array>

#include "quorin/Rc6.h"

namespace Rc6 {
inline namespace QUORIN_PACKAGE_NAMESPACE {
namespace {

constexpr char kEncodeTable[] = "+-0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

// Every byte outside the alphabet decodes as 0, like '+'.
constexpr std::array<std::uint8_t, 256> MakeDecodeTable() {
  std::array<std::uint8_t, 256> t{};
  for (std::uint8_t v = 0; v < 64; ++v) t[static_cast<unsigned char>(kEncodeTable[v])] = v;
  return t;
}
constexpr std::array<std::uint8_t, 256> kDecodeTable = MakeDecodeTable();

constexpr char Encode6(unsigned v) {
  return kEncodeTable[v & 63];
}
constexpr unsigned Decode6(char c) {
  return kDecodeTable[static_cast<unsigned char>(c)];
}

}  // namespace

std::string TQuorin::EncodeString(const std::string& S) const {
  const std::size_t L = S.size();
  std::string out((4 * L + 2) / 3, '\0');  // ceil(4L/3): every character carries input bits
  const auto* in = reinterpret_cast<const unsigned char*>(S.data());
  char* o = out.data();
  std::size_t i = 0;
  for (; i + 3 <= L; i += 3) {
    const unsigned b1 = in[i], b2 = in[i + 1], b3 = in[i + 2];
    *o++ = Encode6(b1 >> 2);
    *o++ = Encode6((b1 & 3) << 4 | b2 >> 4);
    *o++ = Encode6((b2 & 15) << 2 | b3 >> 6);
    *o++ = Encode6(b3);
  }
  // A final one or two bytes are completed with one zero byte; characters that
  // would carry only that zero byte's bits are left out.
  if (L - i == 1) {
    const unsigned b1 = in[i];
    *o++ = Encode6(b1 >> 2);
    *o++ = Encode6((b1 & 3) << 4);
  } else if (L - i == 2) {
    const unsigned b1 = in[i], b2 = in[i + 1];
    *o++ = Encode6(b1 >> 2);
    *o++ = Encode6((b1 & 3) << 4 | b2 >> 4);
    *o++ = Encode6((b2 & 15) << 2);
  }
  return out;
}

std::string TQuorin::DecodeString(const std::string& S) const {
  const std::size_t n = S.size();
  std::string out(3 * (n / 4) + (n % 4 == 0 ? 0 : n % 4 - 1), '\0');  // floor(3n/4)
  auto* o = reinterpret_cast<unsigned char*>(out.data());
  std::size_t i = 0;
  for (; i + 4 <= n; i += 4) {
    const unsigned v0 = Decode6(S[i]), v1 = Decode6(S[i + 1]), v2 = Decode6(S[i + 2]),
                   v3 = Decode6(S[i + 3]);
    *o++ = static_cast<unsigned char>(v0 << 2 | v1 >> 4);
    *o++ = static_cast<unsigned char>((v1 << 4 | v2 >> 2) & 0xFF);
    *o++ = static_cast<unsigned char>((v2 << 6 | v3) & 0xFF);
  }
  // A final group of two or three characters yields one or two bytes; a lone
  // character and the bits that complete no byte are dropped.
  const std::size_t r = n - i;
  if (r >= 2) *o++ = static_cast<unsigned char>(Decode6(S[i]) << 2 | Decode6(S[i + 1]) >> 4);
  if (r == 3)
    *o++ = static_cast<unsigned char>((Decode6(S[i + 1]) << 4 | Decode6(S[i + 2]) >> 2) & 0xFF);
  return out;
}

}  // namespace QUORIN_PACKAGE_NAMESPACE
}  // namespace Rc6
