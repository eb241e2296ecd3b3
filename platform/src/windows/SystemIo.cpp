// Win32 handles behind CRT descriptors: files are opened with CreateFileW, so
// that UTF-8 names reach the file system whole, and shared for reading,
// writing and deleting as POSIX files are.
#include "quorin/platform/SystemIo.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cerrno>
#include <climits>
#include <stdexcept>
#include <system_error>

#include "OwnerOnly.h"
#include "Win32Text.h"

namespace quorin::platform::sysio {
namespace {

DWORD Creation(OpenFlags Flags) {
  if ((Flags & kCreate) != 0) return (Flags & kTruncate) != 0 ? CREATE_ALWAYS : OPEN_ALWAYS;
  return (Flags & kTruncate) != 0 ? TRUNCATE_EXISTING : OPEN_EXISTING;
}

DWORD Access(OpenFlags Flags) {
  if ((Flags & kReadWrite) != 0) return GENERIC_READ | GENERIC_WRITE;
  return (Flags & kWriteOnly) != 0 ? GENERIC_WRITE : GENERIC_READ;
}

bool IsFolder(const std::wstring& Name) {
  const DWORD attributes = ::GetFileAttributesW(Name.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace

int Open(const std::string& Name, OpenFlags Flags, unsigned Rights) {
  std::wstring wide;
  try {
    wide = quorin::win32::WidePath(Name);
  } catch (const std::invalid_argument&) {
    errno = EINVAL;
    return -1;
  }
  HANDLE handle;
  try {
    quorin::win32::OwnerOnly security((Flags & kCreate) != 0 && (Rights & 077) == 0);
    const DWORD attributes = (Rights & 0200) == 0 && (Flags & kCreate) != 0
                                 ? FILE_ATTRIBUTE_READONLY
                                 : FILE_ATTRIBUTE_NORMAL;
    handle = ::CreateFileW(wide.c_str(), Access(Flags),
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, security.get(),
                           Creation(Flags), attributes, nullptr);
  } catch (const std::system_error& e) {
    errno = quorin::win32::ErrnoOf(static_cast<unsigned long>(e.code().value()));
    return -1;
  }
  if (handle == INVALID_HANDLE_VALUE) {
    // A folder cannot be opened as a file; POSIX says so with EISDIR.
    if (::GetLastError() == ERROR_ACCESS_DENIED && IsFolder(wide)) {
      errno = EISDIR;
      return -1;
    }
    quorin::win32::ErrnoFromLastError();
    return -1;
  }
  const int crtFlags = _O_BINARY | ((Flags & (kWriteOnly | kReadWrite)) == 0 ? _O_RDONLY : 0);
  const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), crtFlags);
  if (fd < 0) {
    ::CloseHandle(handle);
    errno = EMFILE;
  }
  return fd;
}

// The CRT moves at most INT_MAX bytes a call.
long ReadSome(int Handle, void* Buffer, std::size_t Count) {
  return ::_read(Handle, Buffer, static_cast<unsigned>(Count < INT_MAX ? Count : INT_MAX));
}

long WriteSome(int Handle, const void* Buffer, std::size_t Count) {
  return ::_write(Handle, Buffer, static_cast<unsigned>(Count < INT_MAX ? Count : INT_MAX));
}

std::int64_t Seek(int Handle, std::int64_t Offset, int Whence) {
  return ::_lseeki64(Handle, Offset, Whence);
}

int Close(int Handle) {
  return ::_close(Handle);
}

bool Examine(int Handle, TFileFacts& Facts) {
  const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(Handle));
  if (handle == INVALID_HANDLE_VALUE) {
    errno = EBADF;
    return false;
  }
  Facts = {};
  if (::GetFileType(handle) != FILE_TYPE_DISK) return true;
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(handle, &info)) {
    quorin::win32::ErrnoFromLastError();
    return false;
  }
  Facts.Folder = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  Facts.Size =
      static_cast<std::int64_t>((std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow);
  return true;
}

std::string ErrorText(int Code) {
  return quorin::win32::ErrorText(Code);
}

}  // namespace quorin::platform::sysio
