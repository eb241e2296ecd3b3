// RC6 key schedule: the 44 round keys from a user key of b bytes.
//
// Each of the 3 * max(c, 44) steps waits on the one before through two
// dependent add-and-rotate pairs, so the schedule's speed is that chain's
// length. For the component's key sizes (c = 4, 6 or 8 words) the steps are
// written out at compile time: the indices are constants, the first pass adds
// the starting table as immediates, and nothing but the chain remains.
#include <algorithm>
#include <bit>
#include <utility>

#include "cipher/Endian.h"
#include "cipher/Rc6.h"
#include "quorin/platform/Wipe.h"

namespace cipher {
namespace {

constexpr std::uint32_t kP32 = 0xB7E15163;
constexpr std::uint32_t kQ32 = 0x9E3779B9;
constexpr std::size_t kMaxKeyWords = (kRc6MaxKeyBytes + 3) / 4;
constexpr std::size_t kPassSteps = 3 * kRc6RoundKeyWords;  // steps when c <= 44

// P32 + k * Q32: the table every schedule starts from.
constexpr Rc6RoundKeys kInitialRoundKeys = [] {
  Rc6RoundKeys s{};
  s[0] = kP32;
  for (std::size_t k = 1; k < s.size(); ++k) s[k] = s[k - 1] + kQ32;
  return s;
}();

// Compilers re-associate S[i] + A + B into S[i] + (A + B), and L[j] + A + B
// into L[j] + (A + B): one addition longer after the newest word. Passing the
// early sums through an empty asm keeps them formed before that word exists.
inline void FormEarly(std::uint32_t& x, std::uint32_t& y) noexcept {
#if defined(__GNUC__)
  asm("" : "+r"(x), "+r"(y));
#else
  (void)x;
  (void)y;
#endif
}

// One step: A = S[i] = (S[i] + A + B) <<< 3; B = L[j] = (L[j] + A + B) <<< (A + B).
inline void Step(std::uint32_t Sin, std::uint32_t& Si, std::uint32_t& Lj, std::uint32_t& A,
                 std::uint32_t& B) noexcept {
  std::uint32_t withA = Sin + A, withB = Lj + B;
  FormEarly(withA, withB);
  A = Si = std::rotl(withA + B, 3);
  B = Lj = std::rotl(withB + A, static_cast<int>((A + B) & 31));
}

template <std::size_t C>
struct UnrolledSchedule {
  using Words = std::array<std::uint32_t, C>;

  template <std::size_t k>
  __attribute__((always_inline)) static void At(Words& L, Rc6RoundKeys& S, std::uint32_t& A,
                                                std::uint32_t& B) noexcept {
    constexpr std::size_t i = k % kRc6RoundKeyWords, j = k % C;
    Step(k < kRc6RoundKeyWords ? kInitialRoundKeys[i] : S[i], S[i], L[j], A, B);
  }

  template <std::size_t... k>
  __attribute__((always_inline)) static void All(std::index_sequence<k...>, Words& L,
                                                 Rc6RoundKeys& S, std::uint32_t& A,
                                                 std::uint32_t& B) noexcept {
    (At<k>(L, S, A, B), ...);
  }

  // Key holds exactly 4 * C bytes.
  static void Expand(const std::uint8_t* Key, Rc6RoundKeys& S) noexcept {
    Words L;
    for (std::size_t j = 0; j < C; ++j) L[j] = LoadLE32(Key + 4 * j);
    std::uint32_t A = 0, B = 0;
    All(std::make_index_sequence<kPassSteps>{}, L, S, A, B);
    // A and B end as copies of S[43] and L's last word: only L is secret.
    quorin::platform::WipeObject(L);
  }
};

void ExpandAnyLength(std::span<const std::uint8_t> Key, Rc6RoundKeys& S) noexcept {
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
    Step(S[i], S[i], L[j], A, B);
    // Wrap-around by comparison: a division per step would dominate the schedule.
    if (++i == kRc6RoundKeyWords) i = 0;
    if (++j == c) j = 0;
  }
  quorin::platform::WipeObject(L);
}

}  // namespace

void Rc6ExpandKey(std::span<const std::uint8_t> Key, Rc6RoundKeys& S) noexcept {
  switch (Key.size()) {
    case 16:
      return UnrolledSchedule<4>::Expand(Key.data(), S);
    case 24:
      return UnrolledSchedule<6>::Expand(Key.data(), S);
    case 32:
      return UnrolledSchedule<8>::Expand(Key.data(), S);
    default:
      return ExpandAnyLength(Key, S);
  }
}

}  // namespace cipher
