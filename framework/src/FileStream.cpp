// File stream: a handle stream that opens its file by name and closes it.
#include "quorin/framework/FileStream.h"

#include <cerrno>

#include "quorin/framework/Exceptions.h"
#include "quorin/platform/SystemIo.h"

namespace framework {

namespace sysio = quorin::platform::sysio;
namespace {

sysio::OpenFlags FlagsOf(std::uint16_t Mode) {
  switch (Mode) {
    case fmCreate:
      return sysio::kReadWrite | sysio::kCreate | sysio::kTruncate;
    case fmOpenWrite:
      return sysio::kWriteOnly;
    case fmOpenReadWrite:
      return sysio::kReadWrite;
    default:
      return sysio::kReadOnly;
  }
}

int OpenOrThrow(const std::string& FileName, std::uint16_t Mode) {
  const bool creating = Mode == fmCreate;
  const auto fail = [&](int err, const std::string& why) -> int {
    if (creating) throw EFCreateError(err, "cannot create file '" + FileName + "': " + why);
    throw EFOpenError(err, "cannot open file '" + FileName + "': " + why);
  };
  if (FileName.find('\0') != std::string::npos)
    return fail(EINVAL, "the name contains a zero byte");
  const int fd = sysio::Open(FileName, FlagsOf(Mode));
  if (fd < 0) return fail(errno, sysio::ErrorText(errno));
  return fd;
}

}  // namespace

TFileStream::TFileStream(const std::string& FileName, std::uint16_t Mode)
    : THandleStream(OpenOrThrow(FileName, Mode), FileName) {}

TFileStream::~TFileStream() {
  sysio::Close(FHandle);
}

}  // namespace framework
