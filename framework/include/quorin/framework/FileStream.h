// TFileStream: a stream over a named file, opened or created by the constructor
// and closed by the destructor.
#pragma once

#include <cstdint>
#include <string>

#include "quorin/framework/HandleStream.h"

namespace framework {

// File modes for TFileStream and the typed-file records.
inline constexpr std::uint16_t fmOpenRead = 0x0000;
inline constexpr std::uint16_t fmOpenWrite = 0x0001;
inline constexpr std::uint16_t fmOpenReadWrite = 0x0002;
// Create, or truncate an existing file; read and write.
inline constexpr std::uint16_t fmCreate = 0xFFFF;

class FRAMEWORK_API TFileStream : public THandleStream {
 public:
  // Throws EFCreateError (fmCreate) or EFOpenError naming the file and the reason.
  TFileStream(const std::string& FileName, std::uint16_t Mode);
  ~TFileStream() override;

  const std::string& FileName() const { return FName; }
};

}  // namespace framework
