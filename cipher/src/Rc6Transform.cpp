// RC6-32/20 block encryption and decryption, portable C++.
#include "Rc6Kernels.h"
#include "cipher/Endian.h"
#include "cipher/Rc6Rounds.h"

namespace cipher {

Rc6Words Rc6EncryptWords(const Rc6RoundKeys& S, Rc6Words In) noexcept {
  return rounds::Encrypt(S, In);
}

Rc6Words Rc6DecryptWords(const Rc6RoundKeys& S, Rc6Words In) noexcept {
  return rounds::Decrypt(S, In);
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

namespace kernels {

// Pairs of blocks while there are, then the odd one.
template <bool Encrypt>
void Portable(const Rc6RoundKeys& S, const std::uint8_t* In, std::uint8_t* Out,
              std::size_t Blocks) noexcept {
  constexpr std::size_t kPair = 2 * kRc6BlockBytes;
  for (; Blocks >= 2; Blocks -= 2, In += kPair, Out += kPair) {
    Rc6Words x = Rc6LoadBlock(In), y = Rc6LoadBlock(In + kRc6BlockBytes);
    Encrypt ? rounds::EncryptPair(S, x, y) : rounds::DecryptPair(S, x, y);
    Rc6StoreBlock(x, Out);
    Rc6StoreBlock(y, Out + kRc6BlockBytes);
  }
  if (Blocks == 1)
    Rc6StoreBlock(
        Encrypt ? rounds::Encrypt(S, Rc6LoadBlock(In)) : rounds::Decrypt(S, Rc6LoadBlock(In)), Out);
}

void EncryptPortable(const Rc6RoundKeys& S, const std::uint8_t* In, std::uint8_t* Out,
                     std::size_t Blocks) noexcept {
  Portable<true>(S, In, Out, Blocks);
}

void DecryptPortable(const Rc6RoundKeys& S, const std::uint8_t* In, std::uint8_t* Out,
                     std::size_t Blocks) noexcept {
  Portable<false>(S, In, Out, Blocks);
}

}  // namespace kernels
}  // namespace cipher
