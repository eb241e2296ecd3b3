#include "PosixIo.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace framework::posixio {

int Open(const std::string& Name, int Flags, unsigned Rights) {
  int fd;
  do {
    fd = ::open(Name.c_str(), Flags | O_CLOEXEC, static_cast<mode_t>(Rights));
  } while (fd < 0 && errno == EINTR);
  return fd;
}

long ReadFully(int Fd, void* Buffer, std::size_t Count) {
  auto* p = static_cast<unsigned char*>(Buffer);
  std::size_t done = 0;
  while (done < Count) {
    const ssize_t n = ::read(Fd, p + done, Count - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  return static_cast<long>(done);
}

long WriteFully(int Fd, const void* Buffer, std::size_t Count) {
  const auto* p = static_cast<const unsigned char*>(Buffer);
  std::size_t done = 0;
  while (done < Count) {
    const ssize_t n = ::write(Fd, p + done, Count - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  return static_cast<long>(done);
}

}  // namespace framework::posixio
