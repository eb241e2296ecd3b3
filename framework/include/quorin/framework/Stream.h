// TStream: the abstract byte stream. Sizes and positions are 64-bit.
#pragma once

#include <cstdint>

#include "quorin/framework/Export.h"

namespace framework {

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

class FRAMEWORK_API TStream {
 public:
  TStream() = default;
  virtual ~TStream();
  TStream(const TStream&) = delete;
  TStream& operator=(const TStream&) = delete;

  // Reads up to Count bytes at the position and advances it; returns the number
  // read, fewer than Count only at the end of the stream. Count <= 0 reads nothing.
  virtual std::int32_t Read(void* Buffer, std::int32_t Count) = 0;
  // Writes Count bytes at the position and advances it; returns the number written.
  virtual std::int32_t Write(const void* Buffer, std::int32_t Count) = 0;
  // Moves the position; returns the new position. Throws EStreamError for a
  // position before the start.
  virtual std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) = 0;

  // The whole size in bytes, whatever the position; the position is kept.
  std::int64_t GetSize();
  std::int64_t Position();
  void SetPosition(std::int64_t Pos);
};

}  // namespace framework
