// THandleStream: a stream over an open system file descriptor, which it does
// not own (standard input and output, a pipe, a descriptor from elsewhere).
#pragma once

#include <cstdint>
#include <string>

#include "quorin/framework/Stream.h"

namespace framework {

class FRAMEWORK_API THandleStream : public TStream {
 public:
  // Name is used in error messages only.
  explicit THandleStream(int AHandle, std::string Name = "handle");

  // All three throw EStreamError on a system error naming the stream. Read
  // returns fewer bytes than asked only at the end; Seek fails on pipes.
  std::int32_t Read(void* Buffer, std::int32_t Count) override;
  std::int32_t Write(const void* Buffer, std::int32_t Count) override;
  std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) override;

  int Handle() const { return FHandle; }

 protected:
  int FHandle;
  std::string FName;
};

}  // namespace framework
