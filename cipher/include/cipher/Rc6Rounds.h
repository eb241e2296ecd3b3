// The RC6-32/20 rounds on one block, inlined into the portable kernel and into
// the serial chaining loops (CBC and CFB encryption, OFB), where each block
// waits on the one before and a call per block would cost. Four rounds are
// written out with the registers renamed instead of rotated, so that no words
// move between rounds.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

#include "cipher/Rc6.h"

namespace cipher::rounds {

// The rounds must be inlined into the kernels for the words to stay in registers.
#define QUORIN_INLINE inline __attribute__((always_inline))

// Hides a value's origin from the optimiser. Seeing f(x) below as a product
// rotated by 5, compilers take the rotation amount from the product's top five
// bits with a copy and a shift; opaque, f(x) serves as the amount itself (the
// rotate instruction reads its low five bits), two instructions fewer per
// rotation. Also keeps sums formed in the order written.
QUORIN_INLINE std::uint32_t Opaque(std::uint32_t x) noexcept {
#if defined(__GNUC__)
  asm("" : "+r"(x));
#endif
  return x;
}

// f(x) = (x * (2x + 1)) <<< 5, modulo 2^32.
QUORIN_INLINE std::uint32_t Quad(std::uint32_t x) noexcept {
  return Opaque(std::rotl(x * (2 * x + 1), 5));
}

// f(x + k), with both factors formed straight from x: x + k and 2x + (2k + 1)
// side by side, instead of 2(x + k) + 1 after the sum. A round key is thus
// added in the next round's first step rather than in a step of its own.
QUORIN_INLINE std::uint32_t QuadWithKey(std::uint32_t x, std::uint32_t k) noexcept {
  return Opaque(std::rotl((x + k) * (2 * x + Opaque(2 * k + 1)), 5));
}
// A data-dependent rotation uses the low five bits of a word.
constexpr int Amount(std::uint32_t x) noexcept {
  return static_cast<int>(x & 31);
}

QUORIN_INLINE void Round(std::uint32_t& A, std::uint32_t B, std::uint32_t& C, std::uint32_t D,
                         std::uint32_t k0, std::uint32_t k1) noexcept {
  const std::uint32_t t = Quad(B), u = Quad(D);
  A = std::rotl(A ^ t, Amount(u)) + k0;
  C = std::rotl(C ^ u, Amount(t)) + k1;
}

QUORIN_INLINE void InverseRound(std::uint32_t& A, std::uint32_t B, std::uint32_t& C,
                                std::uint32_t D, std::uint32_t k0, std::uint32_t k1) noexcept {
  const std::uint32_t t = Quad(B), u = Quad(D);
  C = std::rotr(C - k1, Amount(t)) ^ u;
  A = std::rotr(A - k0, Amount(u)) ^ t;
}

// One block on its own, as the serial modes and single-block calls need it:
// its time is the rounds' chain of dependent operations, which the key
// addition folded into QuadWithKey shortens. a and c are the words rotated in
// a round; bx and dx the words squared, still without their round keys kb, kd.
QUORIN_INLINE Rc6Words Encrypt(const Rc6RoundKeys& S, Rc6Words w) noexcept {
  std::uint32_t a = w.A, bx = w.B, kb = S[0], c = w.C, dx = w.D, kd = S[1];
#pragma GCC unroll 4
  for (std::size_t i = 1; i <= kRc6Rounds; ++i) {
    const std::uint32_t t = QuadWithKey(bx, kb), u = QuadWithKey(dx, kd);
    const std::uint32_t ax = std::rotl(a ^ t, Amount(u));
    const std::uint32_t cx = std::rotl(c ^ u, Amount(t));
    // (A, B, C, D) = (B, C, D, A): the words just squared are rotated next.
    a = bx + kb;
    c = dx + kd;
    bx = cx;
    kb = S[2 * i + 1];
    dx = ax;
    kd = S[2 * i];
  }
  return {a + S[42], bx + kb, c + S[43], dx + kd};
}

QUORIN_INLINE Rc6Words Decrypt(const Rc6RoundKeys& S, Rc6Words w) noexcept {
  std::uint32_t A = w.A - S[42], B = w.B, C = w.C - S[43], D = w.D;
  for (std::size_t i = kRc6Rounds; i >= 4; i -= 4) {
    InverseRound(D, A, B, C, S[2 * i], S[2 * i + 1]);
    InverseRound(C, D, A, B, S[2 * i - 2], S[2 * i - 1]);
    InverseRound(B, C, D, A, S[2 * i - 4], S[2 * i - 3]);
    InverseRound(A, B, C, D, S[2 * i - 6], S[2 * i - 5]);
  }
  return {A, B - S[0], C, D - S[1]};
}

// Two independent blocks, round by round side by side: each block's round
// is a chain of dependent operations, and the other block's fill its gaps.
// Used by the portable kernel, where the blocks are independent.
QUORIN_INLINE void EncryptPair(const Rc6RoundKeys& S, Rc6Words& x, Rc6Words& y) noexcept {
  std::uint32_t A0 = x.A, B0 = x.B + S[0], C0 = x.C, D0 = x.D + S[1];
  std::uint32_t A1 = y.A, B1 = y.B + S[0], C1 = y.C, D1 = y.D + S[1];
  for (std::size_t i = 1; i <= kRc6Rounds; i += 4) {
    Round(A0, B0, C0, D0, S[2 * i], S[2 * i + 1]);
    Round(A1, B1, C1, D1, S[2 * i], S[2 * i + 1]);
    Round(B0, C0, D0, A0, S[2 * i + 2], S[2 * i + 3]);
    Round(B1, C1, D1, A1, S[2 * i + 2], S[2 * i + 3]);
    Round(C0, D0, A0, B0, S[2 * i + 4], S[2 * i + 5]);
    Round(C1, D1, A1, B1, S[2 * i + 4], S[2 * i + 5]);
    Round(D0, A0, B0, C0, S[2 * i + 6], S[2 * i + 7]);
    Round(D1, A1, B1, C1, S[2 * i + 6], S[2 * i + 7]);
  }
  x = {A0 + S[42], B0, C0 + S[43], D0};
  y = {A1 + S[42], B1, C1 + S[43], D1};
}

QUORIN_INLINE void DecryptPair(const Rc6RoundKeys& S, Rc6Words& x, Rc6Words& y) noexcept {
  std::uint32_t A0 = x.A - S[42], B0 = x.B, C0 = x.C - S[43], D0 = x.D;
  std::uint32_t A1 = y.A - S[42], B1 = y.B, C1 = y.C - S[43], D1 = y.D;
  for (std::size_t i = kRc6Rounds; i >= 4; i -= 4) {
    InverseRound(D0, A0, B0, C0, S[2 * i], S[2 * i + 1]);
    InverseRound(D1, A1, B1, C1, S[2 * i], S[2 * i + 1]);
    InverseRound(C0, D0, A0, B0, S[2 * i - 2], S[2 * i - 1]);
    InverseRound(C1, D1, A1, B1, S[2 * i - 2], S[2 * i - 1]);
    InverseRound(B0, C0, D0, A0, S[2 * i - 4], S[2 * i - 3]);
    InverseRound(B1, C1, D1, A1, S[2 * i - 4], S[2 * i - 3]);
    InverseRound(A0, B0, C0, D0, S[2 * i - 6], S[2 * i - 5]);
    InverseRound(A1, B1, C1, D1, S[2 * i - 6], S[2 * i - 5]);
  }
  x = {A0, B0 - S[0], C0, D0 - S[1]};
  y = {A1, B1 - S[0], C1, D1 - S[1]};
}

}  // namespace cipher::rounds
