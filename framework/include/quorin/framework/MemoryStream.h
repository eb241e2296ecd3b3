// TMemoryStream: a stream held in memory, growing as it is written.
#pragma once

#include <cstdint>
#include <vector>

#include "quorin/framework/Stream.h"

namespace framework {

class FRAMEWORK_API TMemoryStream : public TStream {
 public:
  TMemoryStream() = default;

  std::int32_t Read(void* Buffer, std::int32_t Count) override;
  std::int32_t Write(const void* Buffer, std::int32_t Count) override;
  std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) override;

  std::uint8_t* Memory() { return FData.data(); }
  const std::uint8_t* Memory() const { return FData.data(); }
  // Sets the size; new bytes are zero. The position is kept unless it lay beyond the new end.
  void SetSize(std::int64_t NewSize);
  // Empties the stream and moves the position to the start.
  void Clear();

 private:
  std::vector<std::uint8_t> FData;
  std::int64_t FPosition = 0;
};

}  // namespace framework
