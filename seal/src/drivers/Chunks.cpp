// A file's chunks sealed and opened away from its sealer or opener, by
// number, with the chunk keys it handed out; and where the chunks start.
#include <algorithm>
#include <stdexcept>
#include <vector>

#include "chunks/ChunkRun.h"
#include "drivers/SealCore.h"
#include "quorin/framework/MemoryStream.h"
#include "quorin/seal/Incremental.h"

namespace quorin::seal {

std::size_t HeaderBytes(std::span<const std::uint8_t> sealed, const OpenOptions& options) {
  // Far more than the largest header (64 stanzas of at most 4 KiB) takes.
  constexpr std::size_t kMost = std::size_t{1} << 20;
  framework::TMemoryStream in;
  in.Write(sealed.data(), static_cast<std::int32_t>(std::min(sealed.size(), kMost)));
  in.Seek(0, framework::TSeekOrigin::soBeginning);
  std::vector<std::uint8_t> raw;
  try {
    detail::ReadHeader(in, raw, options, "the input");
  } catch (const TruncatedError&) {
    return 0;
  }
  return static_cast<std::size_t>(in.Position());
}

void SealChunks(std::span<const std::uint8_t, kChunkKeysBytes> keys, std::uint64_t first,
                std::span<const std::uint8_t> plain, std::span<std::uint8_t> out) {
  const ChunkRun run = ChunkRun::Import(keys);
  const std::size_t count = plain.size() / run.ChunkBytes();
  if (plain.size() % run.ChunkBytes() != 0 || out.size() < count * run.StoredBytes())
    throw std::invalid_argument("whole chunks are sealed, into room for their stored form");
  ChunkAuthenticator tagger = run.Tagger();
  run.SealFull(plain.data(), count, first, tagger, out.data());
}

void OpenChunks(std::span<const std::uint8_t, kChunkKeysBytes> keys, std::uint64_t first,
                std::span<const std::uint8_t> sealed, std::span<std::uint8_t> out,
                const std::string& name) {
  const ChunkRun run = ChunkRun::Import(keys);
  const std::size_t count = sealed.size() / run.StoredBytes();
  if (sealed.size() % run.StoredBytes() != 0 || out.size() < count * run.ChunkBytes())
    throw std::invalid_argument("whole stored chunks are opened, into room for their plaintext");
  ChunkAuthenticator tagger = run.Tagger();
  run.OpenFull(sealed.data(), count, first, run.CheckWith(tagger, name), out.data());
}

}  // namespace quorin::seal
