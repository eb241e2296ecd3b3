// Stream over a POSIX descriptor.
#include "quorin/framework/HandleStream.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "PosixIo.h"
#include "quorin/framework/Exceptions.h"

namespace framework {

THandleStream::THandleStream(int AHandle, std::string Name)
    : FHandle(AHandle), FName(std::move(Name)) {}

std::int32_t THandleStream::Read(void* Buffer, std::int32_t Count) {
  if (Count <= 0) return 0;
  const long n = posixio::ReadFully(FHandle, Buffer, static_cast<std::size_t>(Count));
  if (n < 0) throw EStreamError(errno, "error reading '" + FName + "': " + std::strerror(errno));
  return static_cast<std::int32_t>(n);
}

std::int32_t THandleStream::Write(const void* Buffer, std::int32_t Count) {
  if (Count <= 0) return 0;
  const long n = posixio::WriteFully(FHandle, Buffer, static_cast<std::size_t>(Count));
  if (n < 0) throw EStreamError(errno, "error writing '" + FName + "': " + std::strerror(errno));
  return static_cast<std::int32_t>(n);
}

std::int64_t THandleStream::Seek(std::int64_t Offset, TSeekOrigin Origin) {
  const int whence = Origin == TSeekOrigin::soBeginning ? SEEK_SET
                     : Origin == TSeekOrigin::soCurrent ? SEEK_CUR
                                                        : SEEK_END;
  const off_t pos = ::lseek(FHandle, static_cast<off_t>(Offset), whence);
  if (pos < 0) throw EStreamError(errno, "cannot seek in '" + FName + "': " + std::strerror(errno));
  return static_cast<std::int64_t>(pos);
}

}  // namespace framework
