// RC6-32/20 on four blocks at once with WebAssembly's 128-bit SIMD: each
// vector holds one of the words A, B, C, D of four blocks. Only the module
// built for engines with SIMD links this file (with -msimd128); the other
// links Rc6NoSimd128.cpp, so that it holds no SIMD instruction at all.
#include <wasm_simd128.h>

#include "Rc6Kernels.h"

namespace cipher::kernels {
namespace {

// WebAssembly has no per-lane shift. 2^s (s in 0..31) is built byte by
// byte with a table lookup: byte j of a lane is 1 << (s - 8j) when s - 8j
// is in 0..7, else 0 (an index past the table gives 0). And x * 2^s as a
// 64-bit product holds x << s in its low word and x >> (32 - s) in its
// high word: their OR is x rotated left by s.
inline v128_t PowerOfTwo(v128_t s) {
  const v128_t bits = wasm_i8x16_make(1, 2, 4, 8, 16, 32, 64, -128, 0, 0, 0, 0, 0, 0, 0, 0);
  const v128_t spread = wasm_i8x16_shuffle(s, s, 0, 0, 0, 0, 4, 4, 4, 4, 8, 8, 8, 8, 12, 12, 12, 12);
  const v128_t bytes = wasm_i8x16_make(0, 8, 16, 24, 0, 8, 16, 24, 0, 8, 16, 24, 0, 8, 16, 24);
  return wasm_i8x16_swizzle(bits, wasm_i8x16_sub(spread, bytes));
}

inline v128_t Rotl(v128_t x, v128_t s) {
  const v128_t p = PowerOfTwo(s);
  const v128_t lo = wasm_u64x2_extmul_low_u32x4(x, p), hi = wasm_u64x2_extmul_high_u32x4(x, p);
  return wasm_v128_or(wasm_i32x4_shuffle(lo, hi, 0, 2, 4, 6),
                      wasm_i32x4_shuffle(lo, hi, 1, 3, 5, 7));
}

inline v128_t Rotr(v128_t x, v128_t s) {
  return Rotl(x, wasm_v128_and(wasm_i32x4_sub(wasm_i32x4_splat(32), s), wasm_i32x4_splat(31)));
}

// f(x) = (x * (2x + 1)) <<< 5, and the low five bits of f(x), which are the
// top five bits of the product: the rotation amount comes without a mask.
struct Quadratic {
  v128_t value, amount;
};

inline Quadratic Quad(v128_t x) {
  const v128_t y = wasm_i32x4_mul(x, wasm_i32x4_add(wasm_i32x4_add(x, x), wasm_i32x4_splat(1)));
  const v128_t top = wasm_u32x4_shr(y, 27);
  return {wasm_v128_or(wasm_i32x4_shl(y, 5), top), top};
}

inline v128_t Key(const Rc6RoundKeys& S, std::size_t k) {
  return wasm_i32x4_splat(static_cast<std::int32_t>(S[k]));
}

inline void Round(v128_t& A, v128_t B, v128_t& C, v128_t D, v128_t k0, v128_t k1) {
  const Quadratic t = Quad(B), u = Quad(D);
  A = wasm_i32x4_add(Rotl(wasm_v128_xor(A, t.value), u.amount), k0);
  C = wasm_i32x4_add(Rotl(wasm_v128_xor(C, u.value), t.amount), k1);
}

inline void InverseRound(v128_t& A, v128_t B, v128_t& C, v128_t D, v128_t k0, v128_t k1) {
  const Quadratic t = Quad(B), u = Quad(D);
  C = wasm_v128_xor(Rotr(wasm_i32x4_sub(C, k1), t.amount), u.value);
  A = wasm_v128_xor(Rotr(wasm_i32x4_sub(A, k0), u.amount), t.value);
}

// A 4 x 4 transpose: four blocks (little-endian words, as WebAssembly's
// memory is) into the word vectors, and the same transpose back.
inline void Transpose(v128_t& a, v128_t& b, v128_t& c, v128_t& d) {
  const v128_t t0 = wasm_i32x4_shuffle(a, b, 0, 4, 1, 5), t1 = wasm_i32x4_shuffle(a, b, 2, 6, 3, 7);
  const v128_t t2 = wasm_i32x4_shuffle(c, d, 0, 4, 1, 5), t3 = wasm_i32x4_shuffle(c, d, 2, 6, 3, 7);
  a = wasm_i32x4_shuffle(t0, t2, 0, 1, 4, 5);
  b = wasm_i32x4_shuffle(t0, t2, 2, 3, 6, 7);
  c = wasm_i32x4_shuffle(t1, t3, 0, 1, 4, 5);
  d = wasm_i32x4_shuffle(t1, t3, 2, 3, 6, 7);
}

inline void Load(const std::uint8_t* in, v128_t& A, v128_t& B, v128_t& C, v128_t& D) {
  A = wasm_v128_load(in), B = wasm_v128_load(in + 16), C = wasm_v128_load(in + 32),
  D = wasm_v128_load(in + 48);
  Transpose(A, B, C, D);
}

inline void Store(std::uint8_t* out, v128_t A, v128_t B, v128_t C, v128_t D) {
  Transpose(A, B, C, D);
  wasm_v128_store(out, A), wasm_v128_store(out + 16, B), wasm_v128_store(out + 32, C),
      wasm_v128_store(out + 48, D);
}

// N sets of four blocks side by side, so that the engine has independent
// work while one set's multiplications complete.
template <std::size_t N>
inline void EncryptSets(const Rc6RoundKeys& S, const std::uint8_t* In, std::uint8_t* Out) {
  v128_t A[N], B[N], C[N], D[N];
  for (std::size_t n = 0; n < N; ++n) {
    Load(In + 16 * kSimd128Batch * n, A[n], B[n], C[n], D[n]);
    B[n] = wasm_i32x4_add(B[n], Key(S, 0));
    D[n] = wasm_i32x4_add(D[n], Key(S, 1));
  }
  for (std::size_t i = 1; i <= kRc6Rounds; i += 4) {
    for (std::size_t n = 0; n < N; ++n)
      Round(A[n], B[n], C[n], D[n], Key(S, 2 * i), Key(S, 2 * i + 1));
    for (std::size_t n = 0; n < N; ++n)
      Round(B[n], C[n], D[n], A[n], Key(S, 2 * i + 2), Key(S, 2 * i + 3));
    for (std::size_t n = 0; n < N; ++n)
      Round(C[n], D[n], A[n], B[n], Key(S, 2 * i + 4), Key(S, 2 * i + 5));
    for (std::size_t n = 0; n < N; ++n)
      Round(D[n], A[n], B[n], C[n], Key(S, 2 * i + 6), Key(S, 2 * i + 7));
  }
  for (std::size_t n = 0; n < N; ++n) {
    A[n] = wasm_i32x4_add(A[n], Key(S, 42));
    C[n] = wasm_i32x4_add(C[n], Key(S, 43));
    Store(Out + 16 * kSimd128Batch * n, A[n], B[n], C[n], D[n]);
  }
}

template <std::size_t N>
inline void DecryptSets(const Rc6RoundKeys& S, const std::uint8_t* In, std::uint8_t* Out) {
  v128_t A[N], B[N], C[N], D[N];
  for (std::size_t n = 0; n < N; ++n) {
    Load(In + 16 * kSimd128Batch * n, A[n], B[n], C[n], D[n]);
    C[n] = wasm_i32x4_sub(C[n], Key(S, 43));
    A[n] = wasm_i32x4_sub(A[n], Key(S, 42));
  }
  for (std::size_t i = kRc6Rounds; i >= 4; i -= 4) {
    for (std::size_t n = 0; n < N; ++n)
      InverseRound(D[n], A[n], B[n], C[n], Key(S, 2 * i), Key(S, 2 * i + 1));
    for (std::size_t n = 0; n < N; ++n)
      InverseRound(C[n], D[n], A[n], B[n], Key(S, 2 * i - 2), Key(S, 2 * i - 1));
    for (std::size_t n = 0; n < N; ++n)
      InverseRound(B[n], C[n], D[n], A[n], Key(S, 2 * i - 4), Key(S, 2 * i - 3));
    for (std::size_t n = 0; n < N; ++n)
      InverseRound(A[n], B[n], C[n], D[n], Key(S, 2 * i - 6), Key(S, 2 * i - 5));
  }
  for (std::size_t n = 0; n < N; ++n) {
    D[n] = wasm_i32x4_sub(D[n], Key(S, 1));
    B[n] = wasm_i32x4_sub(B[n], Key(S, 0));
    Store(Out + 16 * kSimd128Batch * n, A[n], B[n], C[n], D[n]);
  }
}

// Eight blocks at a time while there are, then four (the caller passes a
// multiple of four).
template <bool Encrypt>
inline void Batches(const Rc6RoundKeys& S, const std::uint8_t* In, std::uint8_t* Out,
                    std::size_t Blocks) {
  for (; Blocks >= 2 * kSimd128Batch;
       Blocks -= 2 * kSimd128Batch, In += 32 * kSimd128Batch, Out += 32 * kSimd128Batch)
    Encrypt ? EncryptSets<2>(S, In, Out) : DecryptSets<2>(S, In, Out);
  if (Blocks >= kSimd128Batch) Encrypt ? EncryptSets<1>(S, In, Out) : DecryptSets<1>(S, In, Out);
}

}  // namespace

bool HasSimd128() noexcept {
  return true;
}

void EncryptSimd128(const Rc6RoundKeys& S, const std::uint8_t* In, std::uint8_t* Out,
                    std::size_t Blocks) noexcept {
  Batches<true>(S, In, Out, Blocks);
}

void DecryptSimd128(const Rc6RoundKeys& S, const std::uint8_t* In, std::uint8_t* Out,
                    std::size_t Blocks) noexcept {
  Batches<false>(S, In, Out, Blocks);
}

}  // namespace cipher::kernels
