// Typed-file records over the system's file handles, with the pending error kept per thread.
#include "quorin/framework/TypedFile.h"

#include <cerrno>
#include <cstring>

#include "quorin/framework/Exceptions.h"
#include "quorin/framework/SysUtils.h"
#include "quorin/platform/SystemIo.h"

namespace framework {

namespace sysio = quorin::platform::sysio;
namespace {

struct TPendingIOError {
  int Code = 0;
  std::string Message;
};

thread_local TPendingIOError pendingError;

void Fail(const TFileRec& F, int Code, const char* Step) {
  pendingError.Code = Code;
  pendingError.Message = IOErrorMessage(Code, Step, F.Name);
}

sysio::OpenFlags FlagsOf(std::uint16_t Mode) {
  switch (Mode) {
    case fmOpenRead:
      return sysio::kReadOnly;
    case fmOpenWrite:
      return sysio::kWriteOnly;
    default:
      return sysio::kReadWrite;
  }
}

bool IsOpen(const TFileRec& F, const char* Step) {
  if (F.Handle >= 0) return true;
  Fail(F, EBADF, Step);
  return false;
}

}  // namespace

TFileRec::~TFileRec() {
  if (Handle >= 0) sysio::Close(Handle);
}

void Assign(TFileRec& F, const std::string& Name) {
  if (F.Handle >= 0) throw EInOutError(EBUSY, "cannot bind '" + Name + "': file record is open");
  if (Name.empty() || Name.find('\0') != std::string::npos)
    throw EInOutError(EINVAL, "invalid file name '" + Name + "'");
  F.Name = Name;
  F.RecSize = 0;
}

void ResetFile(TFileRec& F, std::int32_t RecSize) {
  if (F.Handle >= 0) {
    sysio::Close(F.Handle);
    F.Handle = -1;
  }
  if (RecSize != 1) return Fail(F, EINVAL, "opening");
  const int fd = sysio::Open(F.Name, FlagsOf(F.Mode));
  if (fd < 0) return Fail(F, errno, "opening");
  sysio::TFileFacts facts;
  if (sysio::Examine(fd, facts) && facts.Folder) {
    sysio::Close(fd);
    return Fail(F, EISDIR, "opening");
  }
  F.Handle = fd;
  F.RecSize = RecSize;
}

void BlockRead(TFileRec& F, void* Buffer, std::int32_t Count, std::int32_t& Result) {
  Result = 0;
  if (!IsOpen(F, "reading")) return;
  if (Count <= 0) return;
  const long n = sysio::ReadFully(F.Handle, Buffer, static_cast<std::size_t>(Count));
  if (n < 0) return Fail(F, errno, "reading");
  Result = static_cast<std::int32_t>(n);
}

void BlockWrite(TFileRec& F, const void* Buffer, std::int32_t Count, std::int32_t& Result) {
  Result = 0;
  if (!IsOpen(F, "writing")) return;
  if (Count <= 0) return;
  const long n = sysio::WriteFully(F.Handle, Buffer, static_cast<std::size_t>(Count));
  if (n < 0) return Fail(F, errno, "writing");
  Result = static_cast<std::int32_t>(n);
}

bool EofFile(TFileRec& F) {
  if (!IsOpen(F, "testing end of")) return true;
  const std::int64_t pos = sysio::Seek(F.Handle, 0, SEEK_CUR);
  sysio::TFileFacts facts;
  if (pos < 0 || !sysio::Examine(F.Handle, facts)) {
    Fail(F, errno, "testing end of");
    return true;
  }
  return pos >= facts.Size;
}

std::int64_t FileSizeOf(TFileRec& F) {
  if (!IsOpen(F, "sizing")) return 0;
  sysio::TFileFacts facts;
  if (!sysio::Examine(F.Handle, facts)) {
    Fail(F, errno, "sizing");
    return 0;
  }
  return facts.Size;
}

void Close(TFileRec& F) {
  if (!IsOpen(F, "closing")) return;
  const int fd = F.Handle;
  F.Handle = -1;
  // The descriptor is released even when close reports an error; retrying would be unsafe.
  if (sysio::Close(fd) != 0) Fail(F, errno, "closing");
}

void IOTest() {
  if (pendingError.Code == 0) return;
  TPendingIOError e = std::move(pendingError);
  pendingError = {};
  throw EInOutError(e.Code, e.Message);
}

}  // namespace framework
