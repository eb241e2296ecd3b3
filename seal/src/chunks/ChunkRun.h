// The chunks of one version-2 file, by number: the keys they need, sealed
// or opened as many side by side as the cipher takes. What a pushed sealer,
// a pushed opener and a thread handed the file's chunk keys share. Its
// methods are const, so two threads may use one at once, each with a
// tagger (and a check) of its own.
//
// The chunk keys travel as kChunkKeysBytes bytes (Export, Import), for
// threads that share no memory (WebAssembly workers): the mode, the key
// size, the chunk length, where the chunks start, the encryption, tag and
// IV keys and the header MAC. They are secret.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "chunks/ChunkAuthenticator.h"
#include "chunks/ChunkCheck.h"
#include "chunks/ChunkCipher.h"
#include "keys/PayloadKeys.h"
#include "quorin/seal/Incremental.h"

namespace quorin::seal {

class ChunkRun {
 public:
  static constexpr std::size_t kLanes = ChunkCipher::kLanes;

  ChunkRun(Mode mode, std::size_t chunkBytes, std::size_t headerBytes, PayloadKeys keys,
           const MacValue& headerMac);
  ChunkRun(const ChunkRun&) = delete;
  ChunkRun& operator=(const ChunkRun&) = delete;
  // Throws std::invalid_argument for bytes Export did not write.
  static ChunkRun Import(std::span<const std::uint8_t> bytes);
  void Export(std::span<std::uint8_t> out) const;

  std::size_t ChunkBytes() const { return chunkBytes_; }
  std::size_t StoredBytes() const { return chunkBytes_ + kChunkTagBytes; }

  // A tagger, and a check of stored chunks through it, for one thread.
  ChunkAuthenticator Tagger() const { return {keys_.tag, headerMac_}; }
  void Tagger(std::optional<ChunkAuthenticator>& into) const {
    into.emplace(keys_.tag, headerMac_);
  }
  ChunkCheck CheckWith(ChunkAuthenticator& tagger, const std::string& name) const;

  // Seals `count` chunks from chunk `first` on, each of a whole chunk but
  // the last (`lastBlocks` blocks, the file's last if `final`).
  void SealAt(const std::uint8_t* in, std::size_t count, std::size_t lastBlocks, bool final,
              std::uint64_t first, ChunkAuthenticator& tagger, std::uint8_t* out) const;
  // `count` full chunks, none the last, in groups of lanes.
  void SealFull(const std::uint8_t* in, std::size_t count, std::uint64_t first,
                ChunkAuthenticator& tagger, std::uint8_t* out) const;
  // Opens `count` stored chunks from chunk `first` on, the last `lastSize`
  // bytes (the file's last if `final`); returns the plaintext length, padding
  // included.
  std::size_t OpenAt(const std::uint8_t* in, std::size_t count, std::size_t lastSize, bool final,
                     std::uint64_t first, const ChunkCheck& check, std::uint8_t* out) const;
  // `count` full stored chunks, none the last, in groups of lanes.
  void OpenFull(const std::uint8_t* in, std::size_t count, std::uint64_t first,
                const ChunkCheck& check, std::uint8_t* out) const;

 private:
  Mode mode_;
  std::size_t chunkBytes_, headerBytes_;
  PayloadKeys keys_;
  MacValue headerMac_;
  ChunkCipher cipher_;
};

}  // namespace quorin::seal
