#include "quorin/platform/SystemIo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace quorin::platform::sysio {

int Open(const std::string& Name, OpenFlags Flags, unsigned Rights) {
  int system = (Flags & kReadWrite) != 0 ? O_RDWR : (Flags & kWriteOnly) != 0 ? O_WRONLY : O_RDONLY;
  if ((Flags & kCreate) != 0) system |= O_CREAT;
  if ((Flags & kTruncate) != 0) system |= O_TRUNC;
  int fd;
  do {
    fd = ::open(Name.c_str(), system | O_CLOEXEC, static_cast<mode_t>(Rights));
  } while (fd < 0 && errno == EINTR);
  return fd;
}

long ReadSome(int Handle, void* Buffer, std::size_t Count) {
  for (;;) {
    const ssize_t n = ::read(Handle, Buffer, Count);
    if (n >= 0 || errno != EINTR) return static_cast<long>(n);
  }
}

long WriteSome(int Handle, const void* Buffer, std::size_t Count) {
  for (;;) {
    const ssize_t n = ::write(Handle, Buffer, Count);
    if (n >= 0 || errno != EINTR) return static_cast<long>(n);
  }
}

std::int64_t Seek(int Handle, std::int64_t Offset, int Whence) {
  return static_cast<std::int64_t>(::lseek(Handle, static_cast<off_t>(Offset), Whence));
}

int Close(int Handle) {
  return ::close(Handle);
}

bool Examine(int Handle, TFileFacts& Facts) {
  struct stat st {};
  if (::fstat(Handle, &st) != 0) return false;
  Facts.Folder = S_ISDIR(st.st_mode);
  Facts.Size = static_cast<std::int64_t>(st.st_size);
  return true;
}

std::string ErrorText(int Code) {
  return std::strerror(Code);
}

}  // namespace quorin::platform::sysio
