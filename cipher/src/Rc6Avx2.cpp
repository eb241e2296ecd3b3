// RC6-32/20 on eight blocks at once with AVX2: each register holds one of the
// words A, B, C, D of eight blocks. The functions carry their own target
// attribute, so the rest of the build needs no AVX2 and the dispatcher calls
// them only on processors that have it.
#include "Rc6Kernels.h"

#if defined(__x86_64__) || defined(__i386__)

#include <immintrin.h>

#define QUORIN_AVX2 __attribute__((target("avx2")))

namespace cipher::kernels {
namespace {

// Rotations by the low five bits of each lane of s (already masked). A shift
// by 32 gives 0 in AVX2, so a rotation by 0 is exact.
QUORIN_AVX2 inline __m256i Rotl(__m256i x, __m256i s) {
  return _mm256_or_si256(_mm256_sllv_epi32(x, s),
                         _mm256_srlv_epi32(x, _mm256_sub_epi32(_mm256_set1_epi32(32), s)));
}

QUORIN_AVX2 inline __m256i Rotr(__m256i x, __m256i s) {
  return _mm256_or_si256(_mm256_srlv_epi32(x, s),
                         _mm256_sllv_epi32(x, _mm256_sub_epi32(_mm256_set1_epi32(32), s)));
}

// f(x) = (x * (2x + 1)) <<< 5, and the low five bits of f(x), which are the
// top five bits of the product: the rotation amount comes without a mask.
struct Quadratic {
  __m256i value, amount;
};

QUORIN_AVX2 inline Quadratic Quad(__m256i x) {
  const __m256i y =
      _mm256_mullo_epi32(x, _mm256_add_epi32(_mm256_add_epi32(x, x), _mm256_set1_epi32(1)));
  const __m256i top = _mm256_srli_epi32(y, 27);
  return {_mm256_or_si256(_mm256_slli_epi32(y, 5), top), top};
}

QUORIN_AVX2 inline __m256i Key(const Rc6RoundKeys& S, std::size_t k) {
  return _mm256_set1_epi32(static_cast<int>(S[k]));
}

QUORIN_AVX2 inline void Round(__m256i& A, __m256i B, __m256i& C, __m256i D, __m256i k0,
                              __m256i k1) {
  const Quadratic t = Quad(B), u = Quad(D);
  A = _mm256_add_epi32(Rotl(_mm256_xor_si256(A, t.value), u.amount), k0);
  C = _mm256_add_epi32(Rotl(_mm256_xor_si256(C, u.value), t.amount), k1);
}

QUORIN_AVX2 inline void InverseRound(__m256i& A, __m256i B, __m256i& C, __m256i D, __m256i k0,
                                     __m256i k1) {
  const Quadratic t = Quad(B), u = Quad(D);
  C = _mm256_xor_si256(Rotr(_mm256_sub_epi32(C, k1), t.amount), u.value);
  A = _mm256_xor_si256(Rotr(_mm256_sub_epi32(A, k0), u.amount), t.value);
}

// Eight blocks into the four word vectors: a 4 x 4 transpose in each 128-bit lane,
// with blocks 0-3 in the low lanes and 4-7 in the high lanes. Blocks are little-endian.
QUORIN_AVX2 inline __m256i LoadPair(const std::uint8_t* in, std::size_t lo) {
  const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 16 * lo));
  const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 16 * (lo + 4)));
  return _mm256_inserti128_si256(_mm256_castsi128_si256(a), b, 1);
}

QUORIN_AVX2 inline void Load(const std::uint8_t* in, __m256i& A, __m256i& B, __m256i& C,
                             __m256i& D) {
  const __m256i v0 = LoadPair(in, 0), v1 = LoadPair(in, 1), v2 = LoadPair(in, 2),
                v3 = LoadPair(in, 3);
  const __m256i t0 = _mm256_unpacklo_epi32(v0, v1), t1 = _mm256_unpackhi_epi32(v0, v1);
  const __m256i t2 = _mm256_unpacklo_epi32(v2, v3), t3 = _mm256_unpackhi_epi32(v2, v3);
  A = _mm256_unpacklo_epi64(t0, t2);
  B = _mm256_unpackhi_epi64(t0, t2);
  C = _mm256_unpacklo_epi64(t1, t3);
  D = _mm256_unpackhi_epi64(t1, t3);
}

QUORIN_AVX2 inline void Store(std::uint8_t* out, __m256i A, __m256i B, __m256i C, __m256i D) {
  const __m256i t0 = _mm256_unpacklo_epi32(A, B), t1 = _mm256_unpackhi_epi32(A, B);
  const __m256i t2 = _mm256_unpacklo_epi32(C, D), t3 = _mm256_unpackhi_epi32(C, D);
  const __m256i v[4] = {_mm256_unpacklo_epi64(t0, t2), _mm256_unpackhi_epi64(t0, t2),
                        _mm256_unpacklo_epi64(t1, t3), _mm256_unpackhi_epi64(t1, t3)};
  for (std::size_t j = 0; j < 4; ++j) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16 * j), _mm256_castsi256_si128(v[j]));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16 * (j + 4)),
                     _mm256_extracti128_si256(v[j], 1));
  }
}

// N independent sets of eight blocks side by side. Each round of RC6 is a
// chain of dependent multiplications and rotations; with two sets in flight
// the processor works on one set while the other waits for its results.
template <std::size_t N>
QUORIN_AVX2 inline void EncryptSets(const Rc6RoundKeys& S, const std::uint8_t* In,
                                    std::uint8_t* Out) {
  __m256i A[N], B[N], C[N], D[N];
  for (std::size_t n = 0; n < N; ++n) {
    Load(In + 16 * kAvx2Batch * n, A[n], B[n], C[n], D[n]);
    B[n] = _mm256_add_epi32(B[n], Key(S, 0));
    D[n] = _mm256_add_epi32(D[n], Key(S, 1));
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
    A[n] = _mm256_add_epi32(A[n], Key(S, 42));
    C[n] = _mm256_add_epi32(C[n], Key(S, 43));
    Store(Out + 16 * kAvx2Batch * n, A[n], B[n], C[n], D[n]);
  }
}

template <std::size_t N>
QUORIN_AVX2 inline void DecryptSets(const Rc6RoundKeys& S, const std::uint8_t* In,
                                    std::uint8_t* Out) {
  __m256i A[N], B[N], C[N], D[N];
  for (std::size_t n = 0; n < N; ++n) {
    Load(In + 16 * kAvx2Batch * n, A[n], B[n], C[n], D[n]);
    C[n] = _mm256_sub_epi32(C[n], Key(S, 43));
    A[n] = _mm256_sub_epi32(A[n], Key(S, 42));
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
    D[n] = _mm256_sub_epi32(D[n], Key(S, 1));
    B[n] = _mm256_sub_epi32(B[n], Key(S, 0));
    Store(Out + 16 * kAvx2Batch * n, A[n], B[n], C[n], D[n]);
  }
}

}  // namespace

// Sixteen blocks at a time while there are, then eight (the caller passes a
// multiple of eight).
template <bool Encrypt>
QUORIN_AVX2 inline void Batches(const Rc6RoundKeys& S, const std::uint8_t* In, std::uint8_t* Out,
                                std::size_t Blocks) {
  for (; Blocks >= 2 * kAvx2Batch;
       Blocks -= 2 * kAvx2Batch, In += 32 * kAvx2Batch, Out += 32 * kAvx2Batch)
    Encrypt ? EncryptSets<2>(S, In, Out) : DecryptSets<2>(S, In, Out);
  if (Blocks >= kAvx2Batch) Encrypt ? EncryptSets<1>(S, In, Out) : DecryptSets<1>(S, In, Out);
}

QUORIN_AVX2 void EncryptAvx2(const Rc6RoundKeys& S, const std::uint8_t* In, std::uint8_t* Out,
                             std::size_t Blocks) noexcept {
  Batches<true>(S, In, Out, Blocks);
}

QUORIN_AVX2 void DecryptAvx2(const Rc6RoundKeys& S, const std::uint8_t* In, std::uint8_t* Out,
                             std::size_t Blocks) noexcept {
  Batches<false>(S, In, Out, Blocks);
}

}  // namespace cipher::kernels

#else  // no AVX2 on this architecture: never called

namespace cipher::kernels {
void EncryptAvx2(const Rc6RoundKeys&, const std::uint8_t*, std::uint8_t*, std::size_t) noexcept {}
void DecryptAvx2(const Rc6RoundKeys&, const std::uint8_t*, std::uint8_t*, std::size_t) noexcept {}
}  // namespace cipher::kernels

#endif
