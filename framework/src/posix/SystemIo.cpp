#include "../SystemIo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace framework::sysio {

int Open(const std::string& Name, int Flags, unsigned Rights) {
  int fd;
  do {
    fd = ::open(Name.c_str(), Flags | O_CLOEXEC, static_cast<mode_t>(Rights));
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

}  // namespace framework::sysio
