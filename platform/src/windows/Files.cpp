#include "quorin/platform/Files.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cerrno>
#include <stdexcept>

#include "Win32Text.h"

namespace quorin::platform {
namespace {

FileFacts Facts(HANDLE handle) {
  FileFacts facts;
  if (::GetFileType(handle) != FILE_TYPE_DISK) {
    facts.kind = FileKind::Other;
    return facts;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(handle, &info))
    throw SystemError("cannot examine a file", win32::ErrnoFromLastError());
  facts.kind = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0       ? FileKind::Folder
               : (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ? FileKind::Link
                                                                             : FileKind::Regular;
  facts.size =
      static_cast<std::int64_t>((std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow);
  facts.device = info.dwVolumeSerialNumber;
  facts.index = (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
  return facts;
}

}  // namespace

int OpenToRead(const std::string& path) {
  std::wstring wide;
  try {
    wide = win32::WidePath(path);
  } catch (const std::invalid_argument&) {
    throw SystemError("cannot open '" + path + "'", EINVAL);
  }
  // Others may go on reading, writing or deleting it, as on POSIX.
  const HANDLE handle = ::CreateFileW(wide.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (error == ERROR_ACCESS_DENIED && attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
      throw SystemError("cannot open '" + path + "'", EISDIR);
    throw SystemError("cannot open '" + path + "'", win32::ErrnoOf(error));
  }
  const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_BINARY | _O_RDONLY);
  if (fd < 0) {
    ::CloseHandle(handle);
    throw SystemError("cannot open '" + path + "'", EMFILE);
  }
  return fd;
}

void CloseFile(int descriptor) noexcept {
  ::_close(descriptor);
}

FileFacts FactsOf(int descriptor) {
  const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(descriptor));
  if (handle == INVALID_HANDLE_VALUE) throw SystemError("cannot examine a file", EBADF);
  return Facts(handle);
}

FileFacts FactsOfName(const std::string& path) noexcept {
  try {
    // Backup semantics open folders too; a reparse point is examined itself.
    const HANDLE handle = ::CreateFileW(
        win32::WidePath(path).c_str(), FILE_READ_ATTRIBUTES,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return {};
    FileFacts facts;
    try {
      facts = Facts(handle);
    } catch (const SystemError&) {
    }
    ::CloseHandle(handle);
    return facts;
  } catch (const std::exception&) {
    return {};
  }
}

}  // namespace quorin::platform
