// TFileStream: a stream over a named file, opened or created by the constructor
// and closed by the destructor.
#pragma once

#include <cstdint>
#include <string>

#include "framework/Stream.h"

namespace framework {

// File modes for TFileStream and the typed-file records.
inline constexpr std::uint16_t fmOpenRead = 0x0000;
inline constexpr std::uint16_t fmOpenWrite = 0x0001;
inline constexpr std::uint16_t fmOpenReadWrite = 0x0002;
inline constexpr std::uint16_t fmCreate =
    0xFFFF;  // create, or truncate an existing file; read and write

class FRAMEWORK_API TFileStream : public TStream {
 public:
  // Throws EFCreateError (fmCreate) or EFOpenError naming the file and the reason.
  TFileStream(const std::string& FileName, std::uint16_t Mode);
  ~TFileStream() override;

  // Both throw EStreamError on a system error; Read returns fewer bytes only at the end.
  std::int32_t Read(void* Buffer, std::int32_t Count) override;
  std::int32_t Write(const void* Buffer, std::int32_t Count) override;
  std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) override;

  const std::string& FileName() const { return FFileName; }
  int Handle() const { return FHandle; }

 private:
  std::string FFileName;
  int FHandle;
};

}  // namespace framework
