#include "chunks/ChunkCipher.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>

#include "cipher/Rc6.h"
#include "quorin/platform/Wipe.h"

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
  // Lane k holds chunk k's chain: CBC's last ciphertext block, CFB's last
  // ciphertext block, OFB's last keystream block (secret, so it is wiped).
  // Only a last chunk is shorter, so the chunks still running are a prefix.
  alignas(64) std::uint8_t lanes[kLanes * kBlock];
  for (std::size_t l = 0; l < pieces.size(); ++l)
    std::memcpy(&lanes[l * kBlock], pieces[l].iv.data(), kBlock);
  std::size_t n = pieces.size();
  for (std::size_t j = 0; n > 0; ++j) {
    while (n > 0 && pieces[n - 1].blocks <= j) --n;
    if (n == 0) break;
    const std::size_t at = j * kBlock;
    if (mode_ == Mode::CBC)
      for (std::size_t k = 0; k < n; ++k)
        Xor(&lanes[k * kBlock], &lanes[k * kBlock], pieces[k].in + at);
    cipher::Rc6EncryptBlocks(S, lanes, lanes, n);
    for (std::size_t k = 0; k < n; ++k) {
      std::uint8_t* lane = &lanes[k * kBlock];
      if (mode_ == Mode::CFB) Xor(lane, lane, pieces[k].in + at);
      if (mode_ == Mode::OFB)
        Xor(pieces[k].out + at, lane, pieces[k].in + at);
      else
        std::memcpy(pieces[k].out + at, lane, kBlock);
    }
  }
  quorin::platform::Wipe(lanes, sizeof lanes);
}

void ChunkCipher::Encrypt(std::span<const Piece> pieces) const {
  for (std::size_t k = 1; k < pieces.size(); ++k)
    if (pieces[k].blocks > pieces[k - 1].blocks)
      throw std::logic_error("chunks are passed longest first");
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
