// RC6-32/20 block encryption and decryption, portable C++.
#include <bit>

#include "cipher/Endian.h"
#include "cipher/Rc6.h"

namespace cipher {
namespace {

// The rotation amount of a data-dependent rotation: the low five bits of a word.
constexpr int Amount(std::uint32_t x) noexcept {
  return static_cast<int>(x & 31);
}

// f(x) = (x * (2x + 1)) <<< 5, modulo 2^32.
constexpr std::uint32_t Quad(std::uint32_t x) noexcept {
  return std::rotl(x * (2 * x + 1), 5);
}

}  // namespace

Rc6Words Rc6EncryptWords(const Rc6RoundKeys& S, Rc6Words In) noexcept {
  std::uint32_t A = In.A, B = In.B + S[0], C = In.C, D = In.D + S[1];
  for (std::size_t i = 1; i <= kRc6Rounds; ++i) {
    const std::uint32_t t = Quad(B);
    const std::uint32_t u = Quad(D);
    A = std::rotl(A ^ t, Amount(u)) + S[2 * i];
    C = std::rotl(C ^ u, Amount(t)) + S[2 * i + 1];
    const std::uint32_t oldA = A;
    A = B;
    B = C;
    C = D;
    D = oldA;
  }
  return {A + S[42], B, C + S[43], D};
}

Rc6Words Rc6DecryptWords(const Rc6RoundKeys& S, Rc6Words In) noexcept {
  std::uint32_t A = In.A - S[42], B = In.B, C = In.C - S[43], D = In.D;
  for (std::size_t i = kRc6Rounds; i >= 1; --i) {
    const std::uint32_t oldD = D;
    D = C;
    C = B;
    B = A;
    A = oldD;
    const std::uint32_t u = Quad(D);
    const std::uint32_t t = Quad(B);
    C = std::rotr(C - S[2 * i + 1], Amount(t)) ^ u;
    A = std::rotr(A - S[2 * i], Amount(u)) ^ t;
  }
  return {A, B - S[0], C, D - S[1]};
}

Rc6Words Rc6LoadBlock(const std::uint8_t* Block) noexcept {
  return {LoadLE32(Block), LoadLE32(Block + 4), LoadLE32(Block + 8), LoadLE32(Block + 12)};
}

void Rc6StoreBlock(const Rc6Words& W, std::uint8_t* Block) noexcept {
  StoreLE32(W.A, Block);
  StoreLE32(W.B, Block + 4);
  StoreLE32(W.C, Block + 8);
  StoreLE32(W.D, Block + 12);
}

void Rc6EncryptBlocks(const Rc6RoundKeys& S, const std::uint8_t* In, std::uint8_t* Out,
                      std::size_t Blocks) noexcept {
  for (std::size_t k = 0; k < Blocks; ++k, In += kRc6BlockBytes, Out += kRc6BlockBytes)
    Rc6StoreBlock(Rc6EncryptWords(S, Rc6LoadBlock(In)), Out);
}

void Rc6DecryptBlocks(const Rc6RoundKeys& S, const std::uint8_t* In, std::uint8_t* Out,
                      std::size_t Blocks) noexcept {
  for (std::size_t k = 0; k < Blocks; ++k, In += kRc6BlockBytes, Out += kRc6BlockBytes)
    Rc6StoreBlock(Rc6DecryptWords(S, Rc6LoadBlock(In)), Out);
}

}  // namespace cipher
