// Outputs' names on POSIX: examined through an O_PATH descriptor (a final
// symbolic link not followed in a sticky folder), and written in place
// through the same descriptor, reopened by /proc/self/fd.
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "quorin/platform/Files.h"

namespace quorin::platform {
namespace {

std::string FolderOf(const std::string& path) {
  const std::filesystem::path target(path);
  return target.has_parent_path() ? target.parent_path().string() : ".";
}

// A folder where anyone may create entries but only remove their own (/tmp).
bool IsStickyFolder(const std::string& folder) {
  struct stat st {};
  return ::stat(folder.c_str(), &st) == 0 && (st.st_mode & S_ISVTX) != 0;
}

// A pipe that exists only as this process's descriptor (>(...), /dev/fd/N).
bool IsAnonymousPipe(int fd) {
  struct statfs fs {};
  return ::fstatfs(fd, &fs) == 0 && fs.f_type == PIPEFS_MAGIC;
}

}  // namespace

OutputPlace::OutputPlace(const std::string& path) : path_(path) {
  const bool sticky = IsStickyFolder(FolderOf(path));
  examined_ = ::open(path.c_str(), O_PATH | O_CLOEXEC | (sticky ? O_NOFOLLOW : 0));
  struct stat target {};
  if (examined_ < 0 || ::fstat(examined_, &target) != 0) {
    struct stat link {};
    kind_ = ::lstat(path.c_str(), &link) == 0 ? Kind::DanglingLink : Kind::Missing;
    return;
  }
  owned_ = target.st_uid == ::geteuid();
  const mode_t mode = target.st_mode;
  kind_ = S_ISREG(mode) || S_ISLNK(mode) ? Kind::Regular
          : S_ISDIR(mode)                ? Kind::Folder
          : S_ISCHR(mode)                ? Kind::Terminal
          : S_ISSOCK(mode)               ? Kind::Socket
          : S_ISBLK(mode)                ? Kind::BlockDevice
          : IsAnonymousPipe(examined_)   ? Kind::AnonymousPipe
                                         : Kind::Fifo;
  facts_.kind = S_ISREG(mode)   ? FileKind::Regular
                : S_ISLNK(mode) ? FileKind::Link
                                : FileKind::Other;
  facts_.size = static_cast<std::int64_t>(target.st_size);
  facts_.device = static_cast<std::uint64_t>(target.st_dev);
  facts_.index = static_cast<std::uint64_t>(target.st_ino);
}

OutputPlace::~OutputPlace() {
  if (examined_ >= 0) ::close(examined_);
}

int OutputPlace::OpenInPlace() const {
  const std::string self = "/proc/self/fd/" + std::to_string(examined_);
  const int fd = ::open(self.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) throw SystemError("cannot open '" + path_ + "'", errno);
  return fd;
}

}  // namespace quorin::platform
