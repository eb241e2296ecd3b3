// Stream over a handle of the system's (a descriptor; a CRT one on Windows).
#include "quorin/framework/HandleStream.h"

#include <cerrno>
#include <cstdio>

#include "quorin/framework/Exceptions.h"
#include "quorin/platform/SystemIo.h"

namespace framework {

namespace sysio = quorin::platform::sysio;

THandleStream::THandleStream(int AHandle, std::string Name)
    : FHandle(AHandle), FName(std::move(Name)) {}

std::int32_t THandleStream::Read(void* Buffer, std::int32_t Count) {
  if (Count <= 0) return 0;
  const long n = sysio::ReadFully(FHandle, Buffer, static_cast<std::size_t>(Count));
  if (n < 0) throw EStreamError(errno, "error reading '" + FName + "': " + sysio::ErrorText(errno));
  return static_cast<std::int32_t>(n);
}

std::int32_t THandleStream::Write(const void* Buffer, std::int32_t Count) {
  if (Count <= 0) return 0;
  const long n = sysio::WriteFully(FHandle, Buffer, static_cast<std::size_t>(Count));
  if (n < 0) throw EStreamError(errno, "error writing '" + FName + "': " + sysio::ErrorText(errno));
  return static_cast<std::int32_t>(n);
}

std::int64_t THandleStream::Seek(std::int64_t Offset, TSeekOrigin Origin) {
  const int whence = Origin == TSeekOrigin::soBeginning ? SEEK_SET
                     : Origin == TSeekOrigin::soCurrent ? SEEK_CUR
                                                        : SEEK_END;
  const std::int64_t pos = sysio::Seek(FHandle, Offset, whence);
  if (pos < 0)
    throw EStreamError(errno, "cannot seek in '" + FName + "': " + sysio::ErrorText(errno));
  return pos;
}

}  // namespace framework
