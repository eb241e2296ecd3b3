#include "quorin/platform/AtomicOutput.h"

#include <fcntl.h>
#include <stdio.h>  // renameat2
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "TemporaryRegistry.h"
#include "quorin/platform/Random.h"

namespace quorin::platform {
namespace {

constexpr int kNameTries = 100;

std::string FolderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string Quoted(const std::string& path) {
  return "'" + path + "'";
}

// A short random name, so that the temporary file fits wherever the output's
// name fits.
std::string TemporaryName(const std::string& folder) {
  static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::string name = folder + "/.quorin-";
  for (int i = 0; i < 12; ++i) name += kLetters[RandomBelow(sizeof kLetters - 1)];
  return name;
}

// Whether open(2) said the folder's file system cannot make unnamed files.
bool NoUnnamedFiles(int err) {
  return err == EOPNOTSUPP || err == EISDIR || err == EINVAL;
}

}  // namespace

OutputExists::OutputExists(const std::string& path)
    : SystemError("cannot move the output into place as " + Quoted(path), EEXIST) {}

AtomicOutput::AtomicOutput(const std::string& path) : path_(path) {
  const std::string folder = FolderOf(path);
  // An unnamed file needs no cleaning up, whatever ends the process.
  fd_ = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
  if (fd_ >= 0) {
    unnamed_ = true;
    return;
  }
  if (!NoUnnamedFiles(errno))
    throw SystemError("cannot create the output in " + Quoted(folder), errno);
  for (int tries = 0; fd_ < 0; ++tries) {
    CleanupSignalsHeld held;
    temporary_ = TemporaryName(folder);
    fd_ = ::open(temporary_.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC | O_NOCTTY, 0600);
    if (fd_ >= 0) {
      signalSlot_ = RememberTemporary(temporary_.c_str());
    } else if (errno != EEXIST || tries == kNameTries) {
      const int err = errno;
      temporary_.clear();
      throw SystemError("cannot create the output in " + Quoted(folder), err);
    }
  }
}

AtomicOutput::~AtomicOutput() {
  if (fd_ >= 0) ::close(fd_);
  if (!temporary_.empty()) {
    CleanupSignalsHeld held;
    ::unlink(temporary_.c_str());
    ForgetTemporary(signalSlot_);
  }
}

void AtomicOutput::Write(const void* data, std::size_t size) {
  const auto* p = static_cast<const unsigned char*>(data);
  while (size > 0) {
    const ssize_t n = ::write(fd_, p, size);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw SystemError("cannot write " + Quoted(path_), errno);
    p += n;
    size -= static_cast<std::size_t>(n);
  }
}

void AtomicOutput::Commit(Replace replace) {
  if (::fsync(fd_) != 0) throw SystemError("cannot write " + Quoted(path_), errno);
  if (unnamed_) {
    LinkUnnamedFile(replace);
    if (temporary_.empty()) return;
  }
  // The named file takes the output's name in one step. Without replacing,
  // a file that appeared meanwhile must survive: where the file system
  // cannot rename without replacing, a hard link does the same.
  int status;
  if (replace == Replace::Allowed) {
    status = ::rename(temporary_.c_str(), path_.c_str());
  } else {
    status = ::renameat2(AT_FDCWD, temporary_.c_str(), AT_FDCWD, path_.c_str(), RENAME_NOREPLACE);
    if (status != 0 && errno == EINVAL) {
      status = ::link(temporary_.c_str(), path_.c_str());
      if (status == 0) ::unlink(temporary_.c_str());
    }
  }
  if (status != 0) {
    if (errno == EEXIST && replace == Replace::Never) throw OutputExists(path_);
    throw SystemError("cannot move the output into place as " + Quoted(path_), errno);
  }
  CleanupSignalsHeld held;
  ForgetTemporary(signalSlot_);
  temporary_.clear();
}

void AtomicOutput::LinkUnnamedFile(Replace replace) {
  const std::string self = "/proc/self/fd/" + std::to_string(fd_);
  if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path_.c_str(), AT_SYMLINK_FOLLOW) == 0) return;
  if (errno != EEXIST)
    throw SystemError("cannot move the output into place as " + Quoted(path_), errno);
  if (replace == Replace::Never) throw OutputExists(path_);
  // Replacing: a name of its own first, then the rename over the old file.
  for (int tries = 0;; ++tries) {
    CleanupSignalsHeld held;
    temporary_ = TemporaryName(FolderOf(path_));
    if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, temporary_.c_str(), AT_SYMLINK_FOLLOW) == 0) {
      signalSlot_ = RememberTemporary(temporary_.c_str());
      return;
    }
    const int err = errno;
    temporary_.clear();
    if (err != EEXIST || tries == kNameTries)
      throw SystemError("cannot move the output into place as " + Quoted(path_), err);
  }
}

}  // namespace quorin::platform
