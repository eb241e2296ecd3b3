#include "ChunkCipher.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "cipher/Rc6.h"
#include "cipher/SecureWipe.h"

namespace quorin::seal {
namespace {

constexpr std::size_t kBlock = ChunkCipher::kBlock;

const cipher::Rc6RoundKeys& Keys(const SecureBuffer& buffer) {
  return *std::launder(reinterpret_cast<const cipher::Rc6RoundKeys*>(buffer.data()));
}

void Xor(std::uint8_t* out, const std::uint8_t* a, const std::uint8_t* b) {
  std::uint64_t x[2], y[2];
  std::memcpy(x, a, kBlock);
  std::memcpy(y, b, kBlock);
  x[0] ^= y[0];
  x[1] ^= y[1];
  std::memcpy(out, x, kBlock);
}

}  // namespace

ChunkCipher::ChunkCipher(Mode mode, const SecureBuffer& key)
    : mode_(mode), roundKeys_(sizeof(cipher::Rc6RoundKeys)) {
  auto* keys = new (roundKeys_.data()) cipher::Rc6RoundKeys{};
  cipher::Rc6ExpandKey({key.data(), key.size()}, *keys);
}

void ChunkCipher::Interleaved(std::span<const Piece> pieces) const {
  const cipher::Rc6RoundKeys& S = Keys(roundKeys_);
  // The chains, and the blocks on their way through the cipher: the OFB
  // keystream among them, so they are wiped at the end.
  alignas(64) std::uint8_t chain[kLanes][kBlock];
  alignas(64) std::uint8_t lanes[kLanes * kBlock];
  std::size_t active[kLanes];
  std::size_t longest = 0;
  for (std::size_t l = 0; l < pieces.size(); ++l) {
    std::memcpy(chain[l], pieces[l].iv.data(), kBlock);
    longest = std::max(longest, pieces[l].blocks);
  }
  for (std::size_t j = 0; j < longest; ++j) {
    const std::size_t at = j * kBlock;
    std::size_t n = 0;
    for (std::size_t l = 0; l < pieces.size(); ++l) {
      if (pieces[l].blocks <= j) continue;
      if (mode_ == Mode::CBC)
        Xor(&lanes[n * kBlock], pieces[l].in + at, chain[l]);
      else
        std::memcpy(&lanes[n * kBlock], chain[l], kBlock);
      active[n++] = l;
    }
    cipher::Rc6EncryptBlocks(S, lanes, lanes, n);
    for (std::size_t k = 0; k < n; ++k) {
      const Piece& p = pieces[active[k]];
      std::uint8_t* e = &lanes[k * kBlock];
      if (mode_ == Mode::CBC) {
        std::memcpy(p.out + at, e, kBlock);
        std::memcpy(chain[active[k]], e, kBlock);
      } else if (mode_ == Mode::OFB) {
        std::memcpy(chain[active[k]], e, kBlock);
        Xor(p.out + at, p.in + at, e);
      } else {  // CFB encryption: the ciphertext feeds back
        Xor(p.out + at, p.in + at, e);
        std::memcpy(chain[active[k]], p.out + at, kBlock);
      }
    }
  }
  cipher::SecureWipe(chain, sizeof chain);
  cipher::SecureWipe(lanes, sizeof lanes);
}

void ChunkCipher::Encrypt(std::span<const Piece> pieces) const {
  for (std::size_t at = 0; at < pieces.size(); at += kLanes)
    Interleaved(pieces.subspan(at, std::min(kLanes, pieces.size() - at)));
}

void ChunkCipher::Decrypt(std::span<const Piece> pieces) const {
  if (mode_ == Mode::OFB) return Encrypt(pieces);  // the same keystream, XORed
  const cipher::Rc6RoundKeys& S = Keys(roundKeys_);
  for (const Piece& p : pieces) {
    if (p.blocks == 0) continue;
    const std::size_t bytes = p.blocks * kBlock;
    if (mode_ == Mode::CBC) {
      cipher::Rc6DecryptBlocks(S, p.in, p.out, p.blocks);
      Xor(p.out, p.out, p.iv.data());
      for (std::size_t at = kBlock; at < bytes; at += kBlock)
        Xor(p.out + at, p.out + at, p.in + at - kBlock);
    } else {  // CFB: each block's keystream is the encryption of the ciphertext before it
      cipher::Rc6EncryptBlocks(S, p.in, p.out + kBlock, p.blocks - 1);
      cipher::Rc6EncryptBlocks(S, p.iv.data(), p.out, 1);
      for (std::size_t at = 0; at < bytes; at += kBlock) Xor(p.out + at, p.out + at, p.in + at);
    }
  }
}

}  // namespace quorin::seal
