#include "chunks/ChunkRun.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <utility>

#include "format/Bytes.h"

namespace quorin::seal {
namespace {

constexpr std::size_t kBlock = ChunkCipher::kBlock;
constexpr std::uint8_t kMagic[3] = {'Q', 'K', 2};
// The exported form: magic, mode, key bytes, 3 zero bytes, chunk length
// (u32), header length (u64), then the encryption key (zero-extended to
// 32 bytes), the tag key, the IV key and the header MAC.
constexpr std::size_t kKeysAt = 20;
constexpr std::size_t kKeyBytes = 32;
static_assert(kKeysAt + 3 * kKeyBytes + kMacBytes == kChunkKeysBytes);

SecureBuffer KeyAt(std::span<const std::uint8_t> bytes, std::size_t at, std::size_t size) {
  SecureBuffer key(size);
  std::memcpy(key.data(), bytes.data() + at, size);
  return key;
}

}  // namespace

ChunkRun::ChunkRun(Mode mode, std::size_t chunkBytes, std::size_t headerBytes, PayloadKeys keys,
                   const MacValue& headerMac)
    : mode_(mode),
      chunkBytes_(chunkBytes),
      headerBytes_(headerBytes),
      keys_(std::move(keys)),
      headerMac_(headerMac),
      cipher_(mode, keys_.encryption) {}

ChunkRun ChunkRun::Import(std::span<const std::uint8_t> bytes) {
  if (bytes.size() != kChunkKeysBytes || !std::equal(kMagic, kMagic + 3, bytes.begin()))
    throw std::invalid_argument("these are not a sealed file's chunk keys");
  const auto mode = static_cast<Mode>(bytes[3]);
  const std::size_t keyBytes = bytes[4];
  const std::size_t chunkBytes = bytes::Get32(bytes.data() + 8);
  if (mode < Mode::CBC || mode > Mode::OFB ||
      (keyBytes != 16 && keyBytes != 24 && keyBytes != 32) || chunkBytes == 0 ||
      chunkBytes % kBlock != 0)
    throw std::invalid_argument("these are not a sealed file's chunk keys");
  MacValue headerMac;
  std::memcpy(headerMac.data(), bytes.data() + kKeysAt + 3 * kKeyBytes, headerMac.size());
  return ChunkRun(mode, chunkBytes, static_cast<std::size_t>(bytes::Get64(bytes.data() + 12)),
                  PayloadKeys{SecureBuffer(kKeyBytes), KeyAt(bytes, kKeysAt, keyBytes),
                              KeyAt(bytes, kKeysAt + kKeyBytes, kKeyBytes),
                              KeyAt(bytes, kKeysAt + 2 * kKeyBytes, kKeyBytes)},
                  headerMac);
}

void ChunkRun::Export(std::span<std::uint8_t> out) const {
  if (out.size() != kChunkKeysBytes) throw std::invalid_argument("chunk keys take 148 bytes");
  std::fill(out.begin(), out.end(), std::uint8_t{0});
  std::copy(kMagic, kMagic + 3, out.begin());
  out[3] = static_cast<std::uint8_t>(mode_);
  out[4] = static_cast<std::uint8_t>(keys_.encryption.size());
  bytes::Put32(out.data() + 8, static_cast<std::uint32_t>(chunkBytes_));
  bytes::Put64(out.data() + 12, headerBytes_);
  std::memcpy(out.data() + kKeysAt, keys_.encryption.data(), keys_.encryption.size());
  std::memcpy(out.data() + kKeysAt + kKeyBytes, keys_.tag.data(), kKeyBytes);
  std::memcpy(out.data() + kKeysAt + 2 * kKeyBytes, keys_.iv.data(), kKeyBytes);
  std::memcpy(out.data() + kKeysAt + 3 * kKeyBytes, headerMac_.data(), headerMac_.size());
}

ChunkCheck ChunkRun::CheckWith(ChunkAuthenticator& tagger, const std::string& name) const {
  return ChunkCheck(
      [&tagger](std::uint64_t index, bool last, const std::uint8_t* data, std::size_t size,
                const std::uint8_t* storedTag) {
        return tagger.Matches(index, last, data, size, storedTag);
      },
      kChunkTagBytes, name, headerBytes_, StoredBytes(), true);
}

void ChunkRun::SealAt(const std::uint8_t* in, std::size_t count, std::size_t lastBlocks, bool final,
                      std::uint64_t first, ChunkAuthenticator& tagger, std::uint8_t* out) const {
  ChunkCipher::Piece pieces[kLanes];
  for (std::size_t c = 0; c < count; ++c) {
    const std::size_t blocks = c + 1 == count ? lastBlocks : chunkBytes_ / kBlock;
    pieces[c] = {in + c * chunkBytes_, out + c * StoredBytes(), blocks, {}};
    ChunkIV(keys_.iv, first + c, pieces[c].iv.data());
  }
  cipher_.Encrypt({pieces, count});
  for (std::size_t c = 0; c < count; ++c) {
    const std::size_t length = pieces[c].blocks * kBlock;
    const Poly1305Value t = tagger.Of(first + c, final && c + 1 == count, pieces[c].out, length);
    std::memcpy(pieces[c].out + length, t.data(), kChunkTagBytes);
  }
}

void ChunkRun::SealFull(const std::uint8_t* in, std::size_t count, std::uint64_t first,
                        ChunkAuthenticator& tagger, std::uint8_t* out) const {
  for (std::size_t done = 0; done < count;) {
    const std::size_t n = std::min(count - done, kLanes);
    SealAt(in + done * chunkBytes_, n, chunkBytes_ / kBlock, false, first + done, tagger,
           out + done * StoredBytes());
    done += n;
  }
}

std::size_t ChunkRun::OpenAt(const std::uint8_t* in, std::size_t count, std::size_t lastSize,
                             bool final, std::uint64_t first, const ChunkCheck& check,
                             std::uint8_t* out) const {
  const std::size_t stored = StoredBytes();
  ChunkCipher::Piece pieces[kLanes];
  std::size_t length = 0;
  for (std::size_t c = 0; c < count; ++c) {
    const bool last = c + 1 == count;
    const std::size_t cipherBytes =
        check.Verify(in + c * stored, last ? lastSize : stored, first + c, final && last);
    pieces[c] = {in + c * stored, out + c * chunkBytes_, cipherBytes / kBlock, {}};
    ChunkIV(keys_.iv, first + c, pieces[c].iv.data());
    if (cipher_.DecryptsChunksWhole()) cipher_.Decrypt({&pieces[c], 1});
    length = c * chunkBytes_ + cipherBytes;
  }
  if (!cipher_.DecryptsChunksWhole()) cipher_.Decrypt({pieces, count});
  return length;
}

void ChunkRun::OpenFull(const std::uint8_t* in, std::size_t count, std::uint64_t first,
                        const ChunkCheck& check, std::uint8_t* out) const {
  for (std::size_t done = 0; done < count;) {
    const std::size_t n = std::min(count - done, kLanes);
    OpenAt(in + done * StoredBytes(), n, StoredBytes(), false, first + done, check,
           out + done * chunkBytes_);
    done += n;
  }
}

}  // namespace quorin::seal
