#include "quorin/platform/Files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

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

}  // namespace

int OpenToRead(const std::string& path) {
  int fd;
  do {
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) throw SystemError("cannot open '" + path + "'", errno);
  return fd;
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

}  // namespace quorin::platform
