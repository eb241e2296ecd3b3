// Stream encryption and decryption in 4096-byte chunks through the work buffer.
#include "Padding.h"
#include "quorin/Rc6.h"

#if QUORIN_HAS_STREAMS

namespace Rc6 {
inline namespace QUORIN_PACKAGE_NAMESPACE {
namespace {

constexpr auto kChunk = static_cast<std::int32_t>(TQuorin::ChunkSize);

}  // namespace

std::int32_t TQuorin::EncryptStream(framework::TStream& Source, framework::TStream& Dest) {
  // Checked before the first read, so a refused call consumes nothing.
  if (const std::int32_t status = KeyStatus(); status != TStatus::Ok) return status;
  const std::int64_t N = Source.GetSize();
  for (std::int64_t chunk = N / kChunk; chunk > 0; --chunk) {
    if (Source.Read(FBuffer.data(), kChunk) != kChunk) return TStatus::ShortRead;
    std::int32_t count = kChunk;
    if (const std::int32_t status = EncryptBuffer(count); status != TStatus::Ok) return status;
    if (Dest.Write(FBuffer.data(), kChunk) != kChunk) return TStatus::FileError;
  }
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
  for (std::int64_t chunk = (N - 1) / kChunk; chunk > 0; --chunk) {
    if (Source.Read(FBuffer.data(), kChunk) != kChunk) return TStatus::ShortRead;
    std::int32_t count = kChunk;
    if (const std::int32_t status = DecryptBuffer(count); status != TStatus::Ok) return status;
    if (Dest.Write(FBuffer.data(), kChunk) != kChunk) return TStatus::FileError;
  }
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
