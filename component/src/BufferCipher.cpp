// The work buffer operations: the first Count bytes of the buffer, in place,
// block by block through the chaining step. (In the 1.10 feature set Count is
// the caller's variable; it is only ever read.)
#include "quorin/Rc6.h"

namespace Rc6 {
inline namespace QUORIN_PACKAGE_NAMESPACE {

std::int32_t TQuorin::CheckBufferCount(std::int32_t Count) const {
  constexpr auto kMaxCount = static_cast<std::int32_t>(ChunkSize + BlockSize);  // 4112
  const bool valid = Count >= static_cast<std::int32_t>(BlockSize) && Count <= kMaxCount &&
                     Count % static_cast<std::int32_t>(BlockSize) == 0;
  return valid ? TStatus::Ok : TStatus::BadCount;
}

std::int32_t TQuorin::EncryptBuffer(TBufferCount Count) {
  if (const std::int32_t status = KeyStatus(); status != TStatus::Ok) return status;
  if (const std::int32_t status = CheckBufferCount(Count); status != TStatus::Ok) return status;
  FBufferPtr = FBuffer.data();
  EncryptBlocksMode(FBufferPtr, static_cast<std::size_t>(Count) / BlockSize);
  return TStatus::Ok;
}

std::int32_t TQuorin::DecryptBuffer(TBufferCount Count) {
  if (const std::int32_t status = KeyStatus(); status != TStatus::Ok) return status;
  if (const std::int32_t status = CheckBufferCount(Count); status != TStatus::Ok) return status;
  FBufferPtr = FBuffer.data();
  DecryptBlocksMode(FBufferPtr, static_cast<std::size_t>(Count) / BlockSize);
  return TStatus::Ok;
}

}  // namespace QUORIN_PACKAGE_NAMESPACE
}  // namespace Rc6
