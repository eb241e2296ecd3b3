// RC6 key schedule: the 44 round keys from a user key of b bytes.
#include <algorithm>
#include <bit>

#include "cipher/Endian.h"
#include "cipher/Rc6.h"
#include "cipher/SecureWipe.h"

namespace cipher {
namespace {

constexpr std::uint32_t kP32 = 0xB7E15163;
constexpr std::uint32_t kQ32 = 0x9E3779B9;
constexpr std::size_t kMaxKeyWords = (kRc6MaxKeyBytes + 3) / 4;

// P32 + k * Q32: the table every schedule starts from.
constexpr Rc6RoundKeys kInitialRoundKeys = [] {
  Rc6RoundKeys s{};
  s[0] = kP32;
  for (std::size_t k = 1; k < s.size(); ++k) s[k] = s[k - 1] + kQ32;
  return s;
}();

}  // namespace

void Rc6ExpandKey(std::span<const std::uint8_t> Key, Rc6RoundKeys& S) noexcept {
  const std::size_t b = std::min(Key.size(), kRc6MaxKeyBytes);
  const std::size_t c = std::max<std::size_t>(1, (b + 3) / 4);

  // Key bytes into words, least significant byte first; missing bytes are
  // zero. Whole words are read as words; only a ragged end goes bytewise.
  std::array<std::uint32_t, kMaxKeyWords> L{};
  std::size_t n = 0;
  for (; n + 4 <= b; n += 4) L[n / 4] = LoadLE32(Key.data() + n);
  for (; n < b; ++n) L[n / 4] |= static_cast<std::uint32_t>(Key[n]) << (8 * (n % 4));

  S = kInitialRoundKeys;

  std::uint32_t A = 0, B = 0;
  std::size_t i = 0, j = 0;
  const std::size_t v = 3 * std::max(c, kRc6RoundKeyWords);
  for (std::size_t s = 0; s < v; ++s) {
    // L[j] + B is formed before the new A exists, so that the new B waits on
    // one addition and one rotation after it. Compilers fold the sum into
    // L[j] + (A + B), one addition longer; the empty asm keeps them from it.
    std::uint32_t early = L[j] + B;
#if defined(__GNUC__)
    asm("" : "+r"(early));
#endif
    A = S[i] = std::rotl((S[i] + A) + B, 3);
    B = L[j] = std::rotl(early + A, static_cast<int>((A + B) & 31));
    // Wrap-around by comparison: a division per step would dominate the schedule.
    if (++i == kRc6RoundKeyWords) i = 0;
    if (++j == c) j = 0;
  }
  SecureWipeObject(L);
  SecureWipeObject(A);
  SecureWipeObject(B);
}

}  // namespace cipher
