// Stream encryption and decryption in 4096-byte chunks through the work
// buffer; large streams, in the modes whose blocks do not wait on each other,
// read and write the same chunks in groups transformed on two cores.
#include <algorithm>
#include <cstring>
#include <memory>
#include <string_view>

#include "Padding.h"
#include "TwoCores.h"
#include "cipher/Rc6.h"
#include "quorin/Rc6.h"
#include "quorin/platform/Wipe.h"

#if QUORIN_HAS_STREAMS

namespace Rc6 {
inline namespace QUORIN_PACKAGE_NAMESPACE {
namespace {

constexpr auto kChunk = static_cast<std::int32_t>(TQuorin::ChunkSize);
// Chunks read, transformed and written together on two cores: 1 MiB.
constexpr std::int64_t kGroup = 256;

}  // namespace

std::int32_t TQuorin::PumpWholeChunks(framework::TStream& Source, framework::TStream& Dest,
                                      std::int64_t Chunks, bool Encrypt) {
  const auto oneByOne = [&](std::int64_t count) {
    for (; count > 0; --count) {
      if (Source.Read(FBuffer.data(), kChunk) != kChunk) return TStatus::ShortRead;
      const std::int32_t status = Encrypt ? EncryptBuffer(kChunk) : DecryptBuffer(kChunk);
      if (status != TStatus::Ok) return status;
      if (Dest.Write(FBuffer.data(), kChunk) != kChunk) return TStatus::FileError;
    }
    return TStatus::Ok;
  };
  // One stream as both ends sees its reads and writes interleaved: only
  // the loop's own order gives its bytes. With the AVX-512 kernel the cipher
  // outruns the copies into and out of a stream, and a second core only
  // adds traffic between the cores (0.8 of one core's speed, measured), so
  // streams keep to one; with the narrower kernels the cipher bounds the
  // speed and two cores give 1.3x (AVX2) to 1.5x (portable).
  if (Chunks * kChunk < detail::kTwoCoresFrom || !SplitsBlocks(Encrypt) || &Source == &Dest ||
      std::string_view(cipher::Rc6KernelName()) == "avx512")
    return oneByOne(Chunks);
  detail::TSecondCore helper(true);
  if (!helper.Available()) return oneByOne(Chunks);

  // A group of chunks is read, transformed as one run, then written, with
  // the same calls in each direction as the loop makes. On a short write
  // the chunk's transformation is done again alone (from the chain before
  // it), the source is put back where the loop would have stopped reading,
  // and the work buffer holds that chunk, as the loop leaves them. The
  // staging holds plaintext on one side or the other and is wiped.
  const auto bytes = static_cast<std::size_t>(kGroup * kChunk);
  const std::unique_ptr<std::uint8_t[]> in(new std::uint8_t[bytes]), out(new std::uint8_t[bytes]);
  struct TWipe {
    std::uint8_t* a;
    std::uint8_t* b;
    std::size_t n;
    ~TWipe() {
      quorin::platform::Wipe(a, n);
      quorin::platform::Wipe(b, n);
    }
  } const wipe{in.get(), out.get(), bytes};
  constexpr std::size_t kBlocks = TQuorin::ChunkSize / BlockSize;
  for (; Chunks > 0;) {
    const std::int64_t group = std::min(kGroup, Chunks);
    const std::int64_t start = Source.Position();
    const TBlock chain = FIV;
    std::int64_t read = 0;
    std::int32_t got = kChunk;
    for (; read < group; ++read) {
      got = Source.Read(in.get() + read * kChunk, kChunk);
      if (got != kChunk) break;
    }
    TransformBlocksSplit(Encrypt, in.get(), out.get(), static_cast<std::size_t>(read) * kBlocks,
                         helper);
    for (std::int64_t j = 0; j < read; ++j) {
      const std::uint8_t* chunk = out.get() + j * kChunk;
      if (Dest.Write(chunk, kChunk) == kChunk) continue;
      const std::uint8_t* from = in.get() + j * kChunk;
      if (FCipherMode != TCipherMode::ECB) {
        FIV = chain;
        if (j > 0) std::memcpy(FIV.data(), from - BlockSize, BlockSize);
      }
      if (Encrypt)
        EncryptBlocksMode(from, FBuffer.data(), kBlocks);
      else
        DecryptBlocksMode(from, FBuffer.data(), kBlocks);
      Source.SetPosition(start + (j + 1) * kChunk);
      return TStatus::FileError;
    }
    if (read > 0) std::memcpy(FBuffer.data(), out.get() + (read - 1) * kChunk, TQuorin::ChunkSize);
    if (read < group) {
      // The loop read the short chunk into the work buffer.
      if (got > 0)
        std::memcpy(FBuffer.data(), in.get() + read * kChunk, static_cast<std::size_t>(got));
      return TStatus::ShortRead;
    }
    Chunks -= group;
  }
  return TStatus::Ok;
}

std::int32_t TQuorin::EncryptStream(framework::TStream& Source, framework::TStream& Dest) {
  // Checked before the first read, so a refused call consumes nothing.
  if (const std::int32_t status = KeyStatus(); status != TStatus::Ok) return status;
  const std::int64_t N = Source.GetSize();
  if (const std::int32_t status = PumpWholeChunks(Source, Dest, N / kChunk, true);
      status != TStatus::Ok)
    return status;
  const auto rest = static_cast<std::int32_t>(N % kChunk);
  if (Source.Read(FBuffer.data(), rest) != rest) return TStatus::ShortRead;
  std::int32_t count = padding::Pad(FBuffer.data(), rest);
  if (const std::int32_t status = EncryptBuffer(count); status != TStatus::Ok) return status;
  if (Dest.Write(FBuffer.data(), count) != count) return TStatus::FileError;
  return TStatus::Ok;
}

std::int32_t TQuorin::DecryptStream(framework::TStream& Source, framework::TStream& Dest) {
  if (const std::int32_t status = KeyStatus(); status != TStatus::Ok) return status;
  const std::int64_t N = Source.GetSize();
  if (N <= 0 || N % static_cast<std::int64_t>(BlockSize) != 0) return TStatus::BadCiphertext;
  // Every chunk but the final one is full; the final one holds 1..4096 bytes.
  if (const std::int32_t status = PumpWholeChunks(Source, Dest, (N - 1) / kChunk, false);
      status != TStatus::Ok)
    return status;
  std::int32_t count = static_cast<std::int32_t>(N - (N - 1) / kChunk * kChunk);
  if (Source.Read(FBuffer.data(), count) != count) return TStatus::ShortRead;
  if (const std::int32_t status = DecryptBuffer(count); status != TStatus::Ok) return status;
  const std::int32_t drop = FBuffer[static_cast<std::size_t>(count - 1)];
  if (drop > count) return TStatus::BadPadding;
  const std::int32_t keep = count - drop;
  if (Dest.Write(FBuffer.data(), keep) != keep) return TStatus::FileError;
  return TStatus::Ok;
}

}  // namespace QUORIN_PACKAGE_NAMESPACE
}  // namespace Rc6

#endif
