#include "quorin/platform/Files.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cerrno>
#include <climits>
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
  if (!::GetFileInformationByHandle(handle, &info)) {
    facts.kind = FileKind::Other;  // a pipe that says it is on a disk (Wine's)
    return facts;
  }
  facts.kind = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0       ? FileKind::Folder
               : (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ? FileKind::Link
                                                                             : FileKind::Regular;
  facts.size =
      static_cast<std::int64_t>((std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow);
  facts.device = info.dwVolumeSerialNumber;
  facts.index = (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
  return facts;
}

// Others may go on reading, writing or deleting it, as on POSIX.
int Open(const std::string& path, DWORD access) {
  std::wstring wide;
  try {
    wide = win32::WidePath(path);
  } catch (const std::invalid_argument&) {
    throw SystemError("cannot open '" + path + "'", EINVAL);
  }
  const HANDLE handle =
      ::CreateFileW(wide.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (error == ERROR_ACCESS_DENIED && attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
      throw SystemError("cannot open '" + path + "'", EISDIR);
    throw SystemError("cannot open '" + path + "'", win32::ErrnoOf(error));
  }
  const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle),
                                   _O_BINARY | (access == GENERIC_READ ? _O_RDONLY : 0));
  if (fd < 0) {
    ::CloseHandle(handle);
    throw SystemError("cannot open '" + path + "'", EMFILE);
  }
  return fd;
}

}  // namespace

int OpenToRead(const std::string& path) {
  return Open(path, GENERIC_READ);
}

int OpenToWrite(const std::string& path) {
  return Open(path, GENERIC_WRITE);
}

std::size_t ReadSome(int descriptor, void* buffer, std::size_t count, const std::string& name) {
  const int n =
      ::_read(descriptor, buffer, static_cast<unsigned>(count < INT_MAX ? count : INT_MAX));
  if (n < 0) throw SystemError("cannot read " + name, errno);
  return static_cast<std::size_t>(n);
}

void WriteTo(int descriptor, const void* data, std::size_t count, const std::string& name) {
  const auto* p = static_cast<const unsigned char*>(data);
  while (count > 0) {
    const std::size_t piece = count < INT_MAX ? count : INT_MAX;
    const int n = ::_write(descriptor, p, static_cast<unsigned>(piece));
    if (n < 0) throw SystemError("cannot write " + name, errno);
    p += n;
    count -= static_cast<std::size_t>(n);
  }
}

void UseBinaryStandardStreams() noexcept {
  ::_setmode(0, _O_BINARY);
  ::_setmode(1, _O_BINARY);
}

bool IsTerminal(int descriptor) noexcept {
  DWORD mode = 0;
  return ::GetConsoleMode(reinterpret_cast<HANDLE>(::_get_osfhandle(descriptor)), &mode) != 0;
}

std::string SystemErrorText(int code) {
  return win32::ErrorText(code);
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

namespace {

bool IsOpen(int fd) {
  const intptr_t handle = ::_get_osfhandle(fd);
  return handle != -1 && handle != -2;  // -2: a process without a console
}

}  // namespace

std::array<bool, 3> SecureStandardDescriptors() noexcept {
  std::array<bool, 3> closed{};
  for (int fd = 0; fd <= 2; ++fd) {
    if (IsOpen(fd)) continue;
    closed[static_cast<std::size_t>(fd)] = true;
    const int null = ::_open("NUL", _O_RDWR | _O_BINARY);
    if (null >= 0 && null != fd) {
      ::_dup2(null, fd);
      ::_close(null);
    }
  }
  UseBinaryStandardStreams();
  return closed;
}

std::int64_t PositionOf(int descriptor) noexcept {
  return ::_lseeki64(descriptor, 0, SEEK_CUR);
}

void CloseWritten(int descriptor, const std::string& name) {
  if (::_close(descriptor) != 0) throw SystemError("cannot write " + name, errno);
}

std::string ReservedDeviceName(const std::string& path) {
  std::string base = path.substr(path.find_last_of("/\\:") + 1);
  base = base.substr(0, base.find('.'));
  while (!base.empty() && base.back() == ' ') base.pop_back();
  for (char& c : base)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  const bool numbered = base.size() == 4 && (base.starts_with("COM") || base.starts_with("LPT")) &&
                        base[3] >= '1' && base[3] <= '9';
  const bool named = base == "CON" || base == "PRN" || base == "AUX" || base == "NUL" ||
                     base == "CONIN$" || base == "CONOUT$";
  if ((!numbered && !named) || path == "NUL" || path == "nul") return {};
  return base;
}

// Windows has no descriptor that holds a name's file without opening it:
// the name is examined (a reparse point itself) and opened again in place.
OutputPlace::OutputPlace(const std::string& path) : path_(path) {
  facts_ = FactsOfName(path);
  owned_ = true;
  switch (facts_.kind) {
    case FileKind::Missing:
      kind_ = Kind::Missing;
      break;
    case FileKind::Folder:
      kind_ = Kind::Folder;
      break;
    case FileKind::Other:
      kind_ = Kind::Terminal;  // a device (NUL, CON, COM1) or a pipe
      break;
    default:
      kind_ = Kind::Regular;
  }
}

OutputPlace::~OutputPlace() = default;

int OutputPlace::OpenInPlace() const {
  return OpenToWrite(path_);
}

}  // namespace quorin::platform
