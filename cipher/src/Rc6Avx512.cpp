// RC6-32/20 on sixteen blocks at once with AVX-512: each register holds one
// of the words A, B, C, D of sixteen blocks. AVX-512 rotates each lane by a
// variable amount in one instruction (vprolvd, which uses the amount's low
// five bits), so a round is a third of the AVX2 kernel's work per block. The
// functions carry their own target attribute; the dispatcher calls them only
// on processors (and systems) with AVX-512F.
#include "Rc6Kernels.h"

#if defined(__x86_64__)

// GCC 12's unpack intrinsics start from _mm512_undefined_epi32(), which its
// own -Wuninitialized then reports at every inlined use.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#include <immintrin.h>

#define QUORIN_AVX512 __attribute__((target("avx512f")))

namespace cipher::kernels {
namespace {

// f(x) = (x * (2x + 1)) <<< 5; its low five bits are the rotation amount.
QUORIN_AVX512 inline __m512i Quad(__m512i x) {
  const __m512i y =
      _mm512_mullo_epi32(x, _mm512_add_epi32(_mm512_add_epi32(x, x), _mm512_set1_epi32(1)));
  return _mm512_rol_epi32(y, 5);
}

QUORIN_AVX512 inline __m512i Key(const Rc6RoundKeys& S, std::size_t k) {
  return _mm512_set1_epi32(static_cast<int>(S[k]));
}

QUORIN_AVX512 inline void Round(__m512i& A, __m512i B, __m512i& C, __m512i D, __m512i k0,
                                __m512i k1) {
  const __m512i t = Quad(B), u = Quad(D);
  A = _mm512_add_epi32(_mm512_rolv_epi32(_mm512_xor_si512(A, t), u), k0);
  C = _mm512_add_epi32(_mm512_rolv_epi32(_mm512_xor_si512(C, u), t), k1);
}

QUORIN_AVX512 inline void InverseRound(__m512i& A, __m512i B, __m512i& C, __m512i D, __m512i k0,
                                       __m512i k1) {
  const __m512i t = Quad(B), u = Quad(D);
  C = _mm512_xor_si512(_mm512_rorv_epi32(_mm512_sub_epi32(C, k1), t), u);
  A = _mm512_xor_si512(_mm512_rorv_epi32(_mm512_sub_epi32(A, k0), u), t);
}

// Sixteen blocks into the four word vectors: a 4 x 4 transpose of 32-bit
// words in each 128-bit lane. Register j holds blocks 4j to 4j + 3; after
// the transpose, lane L of A holds the word A of blocks L, 4 + L, 8 + L and
// 12 + L. Store undoes exactly this order. Blocks are little-endian.
QUORIN_AVX512 inline void Load(const std::uint8_t* in, __m512i& A, __m512i& B, __m512i& C,
                               __m512i& D) {
  const __m512i v0 = _mm512_loadu_si512(in), v1 = _mm512_loadu_si512(in + 64),
                v2 = _mm512_loadu_si512(in + 128), v3 = _mm512_loadu_si512(in + 192);
  const __m512i t0 = _mm512_unpacklo_epi32(v0, v1), t1 = _mm512_unpackhi_epi32(v0, v1);
  const __m512i t2 = _mm512_unpacklo_epi32(v2, v3), t3 = _mm512_unpackhi_epi32(v2, v3);
  A = _mm512_unpacklo_epi64(t0, t2);
  B = _mm512_unpackhi_epi64(t0, t2);
  C = _mm512_unpacklo_epi64(t1, t3);
  D = _mm512_unpackhi_epi64(t1, t3);
}

QUORIN_AVX512 inline void Store(std::uint8_t* out, __m512i A, __m512i B, __m512i C, __m512i D) {
  const __m512i t0 = _mm512_unpacklo_epi32(A, B), t1 = _mm512_unpackhi_epi32(A, B);
  const __m512i t2 = _mm512_unpacklo_epi32(C, D), t3 = _mm512_unpackhi_epi32(C, D);
  _mm512_storeu_si512(out, _mm512_unpacklo_epi64(t0, t2));
  _mm512_storeu_si512(out + 64, _mm512_unpackhi_epi64(t0, t2));
  _mm512_storeu_si512(out + 128, _mm512_unpacklo_epi64(t1, t3));
  _mm512_storeu_si512(out + 192, _mm512_unpackhi_epi64(t1, t3));
}

// N independent sets of sixteen blocks side by side, so that one set's
// multiplications run while another's wait for their results.
template <std::size_t N>
QUORIN_AVX512 inline void EncryptSets(const Rc6RoundKeys& S, const std::uint8_t* In,
                                      std::uint8_t* Out) {
  __m512i A[N], B[N], C[N], D[N];
  for (std::size_t n = 0; n < N; ++n) {
    Load(In + 16 * kAvx512Batch * n, A[n], B[n], C[n], D[n]);
    B[n] = _mm512_add_epi32(B[n], Key(S, 0));
    D[n] = _mm512_add_epi32(D[n], Key(S, 1));
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
    A[n] = _mm512_add_epi32(A[n], Key(S, 42));
    C[n] = _mm512_add_epi32(C[n], Key(S, 43));
    Store(Out + 16 * kAvx512Batch * n, A[n], B[n], C[n], D[n]);
  }
}

template <std::size_t N>
QUORIN_AVX512 inline void DecryptSets(const Rc6RoundKeys& S, const std::uint8_t* In,
                                      std::uint8_t* Out) {
  __m512i A[N], B[N], C[N], D[N];
  for (std::size_t n = 0; n < N; ++n) {
    Load(In + 16 * kAvx512Batch * n, A[n], B[n], C[n], D[n]);
    C[n] = _mm512_sub_epi32(C[n], Key(S, 43));
    A[n] = _mm512_sub_epi32(A[n], Key(S, 42));
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
    D[n] = _mm512_sub_epi32(D[n], Key(S, 1));
    B[n] = _mm512_sub_epi32(B[n], Key(S, 0));
    Store(Out + 16 * kAvx512Batch * n, A[n], B[n], C[n], D[n]);
  }
}

// Two sets (32 blocks) while there are, then one; Blocks is a multiple of 16.
template <bool Encrypt>
QUORIN_AVX512 inline void Batches(const Rc6RoundKeys& S, const std::uint8_t* In, std::uint8_t* Out,
                                  std::size_t Blocks) {
  constexpr std::size_t kPair = 2 * kAvx512Batch;
  for (; Blocks >= kPair; Blocks -= kPair, In += 16 * kPair, Out += 16 * kPair)
    Encrypt ? EncryptSets<2>(S, In, Out) : DecryptSets<2>(S, In, Out);
  if (Blocks >= kAvx512Batch) Encrypt ? EncryptSets<1>(S, In, Out) : DecryptSets<1>(S, In, Out);
}

}  // namespace

QUORIN_AVX512 void EncryptAvx512(const Rc6RoundKeys& S, const std::uint8_t* In, std::uint8_t* Out,
                                 std::size_t Blocks) noexcept {
  Batches<true>(S, In, Out, Blocks);
}

QUORIN_AVX512 void DecryptAvx512(const Rc6RoundKeys& S, const std::uint8_t* In, std::uint8_t* Out,
                                 std::size_t Blocks) noexcept {
  Batches<false>(S, In, Out, Blocks);
}

}  // namespace cipher::kernels

#else  // no AVX-512 on this architecture: never called

namespace cipher::kernels {
void EncryptAvx512(const Rc6RoundKeys&, const std::uint8_t*, std::uint8_t*, std::size_t) noexcept {}
void DecryptAvx512(const Rc6RoundKeys&, const std::uint8_t*, std::uint8_t*, std::size_t) noexcept {}
}  // namespace cipher::kernels

#endif
