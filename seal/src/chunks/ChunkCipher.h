// RC6-32/20 in a sealed file's mode over several chunks at once, each
// chunk its own chain from its own IV. The serial directions (CBC and CFB
// encryption, OFB both ways) take one block from each of up to 32 chunks
// side by side, so that the cipher's multi-block kernels (two sets of
// sixteen blocks with AVX-512, eight at a time with AVX2) are as busy as in
// ECB; the other directions run each chunk whole.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "crypto/SecureBuffer.h"
#include "quorin/seal/Seal.h"

namespace quorin::seal {

class ChunkCipher {
 public:
  static constexpr std::size_t kLanes = 32;
  static constexpr std::size_t kBlock = 16;

  // One chunk: whole blocks from `in` to `out`, which must not overlap.
  struct Piece {
    const std::uint8_t* in;
    std::uint8_t* out;
    std::size_t blocks;
    std::array<std::uint8_t, kBlock> iv;
  };

  ChunkCipher(Mode mode, const SecureBuffer& key);

  // How many chunks of `chunkBytes` a sealer or opener takes at a time: all
  // the lanes, or fewer for large chunks, so that a batch stays near 2 MiB.
  static std::size_t ChunksPerBatch(std::size_t chunkBytes) {
    return std::clamp<std::size_t>((std::size_t{2} << 20) / chunkBytes, 1, kLanes);
  }

  // No piece may be longer than the one before it (only a last chunk is shorter).
  void Encrypt(std::span<const Piece> pieces) const;
  void Decrypt(std::span<const Piece> pieces) const;
  // Whether decryption takes each chunk whole (CBC and CFB, whose blocks
  // decrypt side by side), so that a chunk is best decrypted right after
  // its tag was checked, while it is in cache; OFB's chain is serial, so its
  // chunks are best decrypted together.
  bool DecryptsChunksWhole() const { return mode_ != Mode::OFB; }

 private:
  void Interleaved(std::span<const Piece> pieces) const;  // at most kLanes

  Mode mode_;
  SecureBuffer roundKeys_;
};

}  // namespace quorin::seal
