// RC6-32/20 block encryption and decryption, portable C++.
#include "Rc6Kernels.h"
#include "cipher/Rc6Rounds.h"
#include "cipher/Endian.h"

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

void EncryptPortable(const Rc6RoundKeys& S, const std::uint8_t* In, std::uint8_t* Out,
                     std::size_t Blocks) noexcept {
  for (; Blocks > 0; --Blocks, In += kRc6BlockBytes, Out += kRc6BlockBytes)
    Rc6StoreBlock(rounds::Encrypt(S, Rc6LoadBlock(In)), Out);
}

void DecryptPortable(const Rc6RoundKeys& S, const std::uint8_t* In, std::uint8_t* Out,
                     std::size_t Blocks) noexcept {
  for (; Blocks > 0; --Blocks, In += kRc6BlockBytes, Out += kRc6BlockBytes)
    Rc6StoreBlock(rounds::Decrypt(S, Rc6LoadBlock(In)), Out);
}

}  // namespace kernels
}  // namespace cipher
