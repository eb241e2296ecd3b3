#include "Win32Text.h"

#include <windows.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace quorin::win32 {
namespace {

struct LastError {
  unsigned long win32 = 0;
  int errnoValue = 0;
};
thread_local LastError last;

std::wstring Widen(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int size = static_cast<int>(utf8.size());
  const int n = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, nullptr, 0);
  if (n <= 0) throw std::invalid_argument("the name '" + utf8 + "' is not UTF-8");
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, wide.data(), n);
  return wide;
}

}  // namespace

std::wstring Wide(const std::string& utf8) {
  return Widen(utf8);
}

std::wstring WidePath(const std::string& utf8) {
  std::wstring wide = Widen(utf8);
  // Room for the 8.3 and temporary names made beside it, too.
  if (wide.size() < MAX_PATH - 20 || wide.rfind(L"\\\\?\\", 0) == 0) return wide;
  const DWORD needed = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return wide;
  std::wstring full(needed, L'\0');
  const DWORD n = ::GetFullPathNameW(wide.c_str(), needed, full.data(), nullptr);
  if (n == 0 || n >= needed) return wide;
  full.resize(n);
  if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

std::string Utf8(const std::wstring& wide) {
  if (wide.empty()) return {};
  const int size = static_cast<int>(wide.size());
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return {};
  std::string utf8(static_cast<std::size_t>(n), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, utf8.data(), n, nullptr, nullptr);
  return utf8;
}

int ErrnoOf(unsigned long win32Error) {
  int value;
  switch (win32Error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_BAD_NETPATH:
    case ERROR_INVALID_DRIVE:
    case ERROR_MOD_NOT_FOUND:
      value = ENOENT;
      break;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
    case ERROR_PRIVILEGE_NOT_HELD:
      value = EACCES;
      break;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      value = EEXIST;
      break;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      value = ENOSPC;
      break;
    case ERROR_FILENAME_EXCED_RANGE:
      value = ENAMETOOLONG;
      break;
    case ERROR_DIRECTORY:
      value = ENOTDIR;
      break;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
      value = ENOMEM;
      break;
    case ERROR_TOO_MANY_OPEN_FILES:
      value = EMFILE;
      break;
    case ERROR_INVALID_HANDLE:
      value = EBADF;
      break;
    case ERROR_BROKEN_PIPE:
    case ERROR_NO_DATA:
      value = EPIPE;
      break;
    case ERROR_DIR_NOT_EMPTY:
      value = ENOTEMPTY;
      break;
    case ERROR_NOT_SAME_DEVICE:
      value = EXDEV;
      break;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_INVALID_PARAMETER:
      value = EINVAL;
      break;
    default:
      value = EIO;
  }
  last = {win32Error, value};
  return value;
}

int ErrnoFromLastError() {
  errno = ErrnoOf(::GetLastError());
  return errno;
}

std::string ErrorText(int errnoValue) {
  if (last.win32 == 0 || last.errnoValue != errnoValue) return std::strerror(errnoValue);
  wchar_t* text = nullptr;
  const DWORD n = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, last.win32, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring message(text != nullptr ? text : L"", n);
  ::LocalFree(text);
  // The system's messages end in a full stop and a line break.
  while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' ||
                              message.back() == L'.' || message.back() == L' '))
    message.pop_back();
  if (message.empty()) return std::strerror(errnoValue);
  return Utf8(message);
}

}  // namespace quorin::win32
