#include "quorin/platform/Files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace quorin::platform {
namespace {

FileFacts Facts(const struct stat& st) {
  FileFacts facts;
  facts.kind = S_ISREG(st.st_mode)   ? FileKind::Regular
               : S_ISDIR(st.st_mode) ? FileKind::Folder
               : S_ISLNK(st.st_mode) ? FileKind::Link
                                     : FileKind::Other;
  facts.size = static_cast<std::int64_t>(st.st_size);
  facts.device = static_cast<std::uint64_t>(st.st_dev);
  facts.index = static_cast<std::uint64_t>(st.st_ino);
  return facts;
}

int Open(const std::string& path, int flags) {
  int fd;
  do {
    fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NOCTTY);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) throw SystemError("cannot open '" + path + "'", errno);
  return fd;
}

}  // namespace

int OpenToRead(const std::string& path) {
  return Open(path, O_RDONLY);
}

int OpenToWrite(const std::string& path) {
  return Open(path, O_WRONLY);
}

std::size_t ReadSome(int descriptor, void* buffer, std::size_t count, const std::string& name) {
  for (;;) {
    const ssize_t n = ::read(descriptor, buffer, count);
    if (n >= 0) return static_cast<std::size_t>(n);
    if (errno != EINTR) throw SystemError("cannot read " + name, errno);
  }
}

void WriteTo(int descriptor, const void* data, std::size_t count, const std::string& name) {
  const auto* p = static_cast<const unsigned char*>(data);
  while (count > 0) {
    const ssize_t n = ::write(descriptor, p, count);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw SystemError("cannot write " + name, errno);
    p += n;
    count -= static_cast<std::size_t>(n);
  }
}

void UseBinaryStandardStreams() noexcept {}

bool IsTerminal(int descriptor) noexcept {
  return ::isatty(descriptor) == 1;
}

std::string SystemErrorText(int code) {
  return std::strerror(code);
}

void CloseFile(int descriptor) noexcept {
  ::close(descriptor);
}

FileFacts FactsOf(int descriptor) {
  struct stat st {};
  if (::fstat(descriptor, &st) != 0) throw SystemError("cannot examine a file", errno);
  return Facts(st);
}

FileFacts FactsOfName(const std::string& path) noexcept {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) return {};
  return Facts(st);
}

std::array<bool, 3> SecureStandardDescriptors() noexcept {
  std::array<bool, 3> closed{};
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) >= 0 || errno != EBADF) continue;
    closed[static_cast<std::size_t>(fd)] = true;
    const int null = ::open("/dev/null", O_RDWR);
    if (null >= 0 && null != fd) {
      ::dup2(null, fd);
      ::close(null);
    }
  }
  return closed;
}

std::int64_t PositionOf(int descriptor) noexcept {
  return static_cast<std::int64_t>(::lseek(descriptor, 0, SEEK_CUR));
}

void CloseWritten(int descriptor, const std::string& name) {
  if (::close(descriptor) != 0) throw SystemError("cannot write " + name, errno);
}

std::string ReservedDeviceName(const std::string&) {
  return {};
}

}  // namespace quorin::platform
