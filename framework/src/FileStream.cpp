// File stream over POSIX descriptors.
#include "framework/FileStream.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "PosixIo.h"
#include "framework/Exceptions.h"

namespace framework {
namespace {

int OpenFlags(std::uint16_t Mode) {
  switch (Mode) {
    case fmCreate:
      return O_RDWR | O_CREAT | O_TRUNC;
    case fmOpenWrite:
      return O_WRONLY;
    case fmOpenReadWrite:
      return O_RDWR;
    default:
      return O_RDONLY;
  }
}

}  // namespace

TFileStream::TFileStream(const std::string& FileName, std::uint16_t Mode)
    : FFileName(FileName), FHandle(-1) {
  const bool creating = Mode == fmCreate;
  if (FileName.find('\0') != std::string::npos) {
    const std::string msg = "file name contains a zero byte";
    if (creating) throw EFCreateError(EINVAL, "cannot create file: " + msg);
    throw EFOpenError(EINVAL, "cannot open file: " + msg);
  }
  FHandle = posixio::Open(FileName, OpenFlags(Mode));
  if (FHandle < 0) {
    const int err = errno;
    if (creating)
      throw EFCreateError(err, "cannot create file '" + FileName + "': " + std::strerror(err));
    throw EFOpenError(err, "cannot open file '" + FileName + "': " + std::strerror(err));
  }
}

TFileStream::~TFileStream() {
  if (FHandle >= 0) ::close(FHandle);
}

std::int32_t TFileStream::Read(void* Buffer, std::int32_t Count) {
  if (Count <= 0) return 0;
  const long n = posixio::ReadFully(FHandle, Buffer, static_cast<std::size_t>(Count));
  if (n < 0)
    throw EStreamError(errno, "error reading '" + FFileName + "': " + std::strerror(errno));
  return static_cast<std::int32_t>(n);
}

std::int32_t TFileStream::Write(const void* Buffer, std::int32_t Count) {
  if (Count <= 0) return 0;
  const long n = posixio::WriteFully(FHandle, Buffer, static_cast<std::size_t>(Count));
  if (n < 0)
    throw EStreamError(errno, "error writing '" + FFileName + "': " + std::strerror(errno));
  return static_cast<std::int32_t>(n);
}

std::int64_t TFileStream::Seek(std::int64_t Offset, TSeekOrigin Origin) {
  const int whence = Origin == TSeekOrigin::soBeginning ? SEEK_SET
                     : Origin == TSeekOrigin::soCurrent ? SEEK_CUR
                                                        : SEEK_END;
  const off_t pos = ::lseek(FHandle, static_cast<off_t>(Offset), whence);
  if (pos < 0)
    throw EStreamError(errno, "cannot seek in '" + FFileName + "': " + std::strerror(errno));
  return static_cast<std::int64_t>(pos);
}

}  // namespace framework
