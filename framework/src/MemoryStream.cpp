// In-memory stream. Writing beyond the end grows it, a gap left by a seek
// past the end reads back as zero bytes.
#include "quorin/framework/MemoryStream.h"

#include <algorithm>
#include <cstring>

#include "quorin/framework/Exceptions.h"

namespace framework {

std::int32_t TMemoryStream::Read(void* Buffer, std::int32_t Count) {
  const auto size = static_cast<std::int64_t>(FData.size());
  if (Count <= 0 || FPosition >= size) return 0;
  const auto n = static_cast<std::int32_t>(std::min<std::int64_t>(Count, size - FPosition));
  std::memcpy(Buffer, FData.data() + FPosition, static_cast<std::size_t>(n));
  FPosition += n;
  return n;
}

std::int32_t TMemoryStream::Write(const void* Buffer, std::int32_t Count) {
  if (Count <= 0) return 0;
  const std::int64_t end = FPosition + Count;
  if (end > static_cast<std::int64_t>(FData.size())) FData.resize(static_cast<std::size_t>(end));
  std::memcpy(FData.data() + FPosition, Buffer, static_cast<std::size_t>(Count));
  FPosition = end;
  return Count;
}

std::int64_t TMemoryStream::Seek(std::int64_t Offset, TSeekOrigin Origin) {
  std::int64_t base = 0;
  switch (Origin) {
    case TSeekOrigin::soBeginning:
      base = 0;
      break;
    case TSeekOrigin::soCurrent:
      base = FPosition;
      break;
    case TSeekOrigin::soEnd:
      base = static_cast<std::int64_t>(FData.size());
      break;
  }
  if (Offset < -base) throw EStreamError(0, "memory stream: seek before the start");
  FPosition = base + Offset;
  return FPosition;
}

void TMemoryStream::SetSize(std::int64_t NewSize) {
  if (NewSize < 0) throw EStreamError(0, "memory stream: negative size");
  FData.resize(static_cast<std::size_t>(NewSize));
  FPosition = std::min(FPosition, NewSize);
}

void TMemoryStream::Clear() {
  FData.clear();
  FData.shrink_to_fit();
  FPosition = 0;
}

}  // namespace framework
