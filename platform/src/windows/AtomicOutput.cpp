// Atomic outputs on Windows: the bytes go to a hidden, randomly named file in
// the destination's folder, readable by its owner only, which MoveFileExW
// puts in place once it is complete and on the disk. Until then the file is
// marked for deletion on its open handle, so that the system removes it
// when the handle closes however the process ends (a failure, Ctrl-C, the
// console closing, a kill); the finished file is made visible (its hidden
// attribute cleared) and unmarked just before it moves into place.
#include "quorin/platform/AtomicOutput.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cerrno>
#include <climits>
#include <system_error>

#include "OwnerOnly.h"
#include "TemporaryRegistry.h"
#include "Win32Text.h"
#include "quorin/platform/Random.h"

namespace quorin::platform {
namespace {

constexpr int kNameTries = 100;

std::string FolderOf(const std::string& path) {
  const auto separator = path.find_last_of("/\\");
  if (separator == std::string::npos)
    return path.size() >= 2 && path[1] == ':' ? path.substr(0, 2) : ".";
  return separator == 0 || (separator == 2 && path[1] == ':') ? path.substr(0, separator + 1)
                                                              : path.substr(0, separator);
}

std::string Quoted(const std::string& path) {
  return "'" + path + "'";
}

std::string TemporaryName(const std::string& folder) {
  static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::string name = folder;
  if (name.back() != '/' && name.back() != '\\' && name.back() != ':') name += '\\';
  name += ".quorin-";
  for (int i = 0; i < 12; ++i) name += kLetters[RandomBelow(sizeof kLetters - 1)];
  return name;
}

bool MarkForDeletion(HANDLE handle, bool deleted) {
  FILE_DISPOSITION_INFO disposition{};
  disposition.DeleteFile = deleted ? TRUE : FALSE;
  return ::SetFileInformationByHandle(handle, FileDispositionInfo, &disposition,
                                      sizeof disposition) != 0;
}

// Clears the hidden attribute: the finished file is an ordinary one.
bool MakeVisible(HANDLE handle) {
  FILE_BASIC_INFO basic{};  // zero times: unchanged
  basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
  return ::SetFileInformationByHandle(handle, FileBasicInfo, &basic, sizeof basic) != 0;
}

std::wstring Wide(const std::string& path) {
  try {
    return win32::WidePath(path);
  } catch (const std::invalid_argument&) {
    throw SystemError("cannot use the name " + Quoted(path), EINVAL);
  }
}

}  // namespace

OutputExists::OutputExists(const std::string& path)
    : SystemError("cannot move the output into place as " + Quoted(path), EEXIST) {}

AtomicOutput::AtomicOutput(const std::string& path) : path_(path) {
  const std::string folder = FolderOf(path);
  Wide(path);  // a name that cannot be an output is refused before any file is made
  win32::OwnerOnly ownerOnly;
  for (int tries = 0; fd_ < 0; ++tries) {
    TemporariesHeld held;
    temporary_ = TemporaryName(folder);
    const std::wstring wide = Wide(temporary_);
    const HANDLE handle =
        ::CreateFileW(wide.c_str(), GENERIC_WRITE | DELETE | FILE_WRITE_ATTRIBUTES,
                      FILE_SHARE_READ | FILE_SHARE_DELETE, ownerOnly.get(), CREATE_NEW,
                      FILE_ATTRIBUTE_HIDDEN, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
      const DWORD error = ::GetLastError();
      temporary_.clear();
      if ((error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) || tries == kNameTries)
        throw SystemError("cannot create the output in " + Quoted(folder), win32::ErrnoOf(error));
      continue;
    }
    MarkForDeletion(handle, true);  // best effort: the registry's handler removes it too
    fd_ = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_BINARY);
    if (fd_ < 0) {
      ::CloseHandle(handle);
      ::DeleteFileW(wide.c_str());
      temporary_.clear();
      throw SystemError("cannot create the output in " + Quoted(folder), EMFILE);
    }
    signalSlot_ = RememberTemporary(wide);
  }
}

AtomicOutput::~AtomicOutput() {
  if (fd_ >= 0) ::_close(fd_);
  if (!temporary_.empty()) {
    TemporariesHeld held;
    ::DeleteFileW(Wide(temporary_).c_str());
    ForgetTemporary(signalSlot_);
  }
  static_cast<void>(unnamed_);  // POSIX's unnamed files have no counterpart here
}

void AtomicOutput::Write(const void* data, std::size_t size) {
  const auto* p = static_cast<const unsigned char*>(data);
  while (size > 0) {
    const unsigned piece = size < INT_MAX ? static_cast<unsigned>(size) : INT_MAX;
    const int n = ::_write(fd_, p, piece);
    if (n < 0) throw SystemError("cannot write " + Quoted(path_), win32::ErrnoFromLastError());
    p += n;
    size -= static_cast<std::size_t>(n);
  }
}

void AtomicOutput::Commit(Replace replace) {
  const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(fd_));
  if (!::FlushFileBuffers(handle) || !MakeVisible(handle) || !MarkForDeletion(handle, false))
    throw SystemError("cannot write " + Quoted(path_), win32::ErrnoFromLastError());
  // A file open without FILE_SHARE_DELETE cannot be renamed: closed first.
  ::_close(fd_);
  fd_ = -1;
  const std::wstring from = Wide(temporary_), to = Wide(path_);
  TemporariesHeld held;
  const DWORD flags =
      MOVEFILE_WRITE_THROUGH | (replace == Replace::Allowed ? MOVEFILE_REPLACE_EXISTING : 0);
  if (!::MoveFileExW(from.c_str(), to.c_str(), flags)) {
    const DWORD error = ::GetLastError();
    if ((error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) && replace == Replace::Never)
      throw OutputExists(path_);
    throw SystemError("cannot move the output into place as " + Quoted(path_),
                      win32::ErrnoOf(error));
  }
  ForgetTemporary(signalSlot_);
  temporary_.clear();
}

void AtomicOutput::LinkUnnamedFile(Replace) {}

}  // namespace quorin::platform
