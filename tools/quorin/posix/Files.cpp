#include "../Files.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <utility>

#include "../Errors.h"

namespace quorin {
namespace {

bool standardClosed[3] = {false, false, false};

std::string SystemError(const std::string& what, int err = errno) {
  return what + ": " + std::strerror(err);
}

std::string FolderOf(const std::string& path) {
  const std::filesystem::path target(path);
  return target.has_parent_path() ? target.parent_path().string() : ".";
}

void WriteAll(int fd, const std::uint8_t* data, std::size_t count, const std::string& name) {
  while (count > 0) {
    const ssize_t n = ::write(fd, data, count);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw CommandError(SystemError("cannot write " + name));
    data += n;
    count -= static_cast<std::size_t>(n);
  }
}

// A folder where anyone may create entries but only remove their own (/tmp).
bool IsStickyFolder(const std::string& folder) {
  struct stat st {};
  return ::stat(folder.c_str(), &st) == 0 && (st.st_mode & S_ISVTX) != 0;
}

// A pipe that exists only as this process's descriptor (>(...), /dev/fd/N),
// which no other user can have put there.
bool IsAnonymousPipe(int fd) {
  struct statfs fs {};
  return ::fstatfs(fd, &fs) == 0 && fs.f_type == PIPEFS_MAGIC;
}

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

}  // namespace

void SecureStandardDescriptors() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) >= 0 || errno != EBADF) continue;
    standardClosed[fd] = true;
    const int null = ::open("/dev/null", O_RDWR);
    if (null >= 0 && null != fd) {
      ::dup2(null, fd);
      ::close(null);
    }
  }
}

Input::Input(const std::string& path) {
  if (path == "-") {
    if (standardClosed[STDIN_FILENO])
      throw CommandError("standard input is closed: name INPUT, or redirect a file or pipe to it");
    name_ = "standard input";
    fd_ = STDIN_FILENO;
  } else {
    name_ = "'" + path + "'";
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd_ < 0) throw CommandError(SystemError("cannot open " + name_));
    owned_ = true;
  }
  struct stat st {};
  if (::fstat(fd_, &st) != 0) throw CommandError(SystemError("cannot examine " + name_));
  if (S_ISDIR(st.st_mode)) throw CommandError(name_ + " is a folder, not a file");
  device_ = static_cast<std::uint64_t>(st.st_dev);
  inode_ = static_cast<std::uint64_t>(st.st_ino);
  regular_ = S_ISREG(st.st_mode);
  if (regular_) {
    const off_t at = ::lseek(fd_, 0, SEEK_CUR);
    remaining_ = st.st_size - (at > 0 ? at : 0);
  }
}

Input::~Input() {
  if (owned_) ::close(fd_);
}

std::size_t Input::Read(std::uint8_t* buffer, std::size_t count) {
  std::size_t done = 0;
  while (done < count) {
    const ssize_t n = ::read(fd_, buffer + done, count - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw CommandError(SystemError("cannot read " + name_));
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  return done;
}

Output::Output(const std::string& path, bool outputGiven, bool force, const Input* input,
               ToTerminal toTerminal)
    : path_(path), force_(force) {
  auto sameAsInput = [input](const struct stat& st) {
    return input != nullptr && input->IsRegular() && S_ISREG(st.st_mode) &&
           input->Device() == static_cast<std::uint64_t>(st.st_dev) &&
           input->Inode() == static_cast<std::uint64_t>(st.st_ino);
  };
  if (path == "-") {
    if (standardClosed[STDOUT_FILENO])
      throw CommandError("standard output is closed: pass -o FILE, or redirect it");
    if (toTerminal != ToTerminal::Allowed && !outputGiven && ::isatty(STDOUT_FILENO))
      throw TerminalRefusal(toTerminal);
    // "quorin encrypt p.bin >> p.bin" would read its own output until the disk is full.
    struct stat out {};
    if (::fstat(STDOUT_FILENO, &out) == 0 && sameAsInput(out))
      throw SameAsInput("standard output is INPUT");
    name_ = "standard output";
    kind_ = Kind::StandardOutput;
    fd_ = STDOUT_FILENO;
    return;
  }
  name_ = "'" + path + "'";
  // What OUT names, examined once and then opened through the same descriptor,
  // so that it cannot be swapped in between. In a sticky folder a final
  // symbolic link is not followed.
  const bool sticky = IsStickyFolder(FolderOf(path));
  const Descriptor entry(::open(path.c_str(), O_PATH | O_CLOEXEC | (sticky ? O_NOFOLLOW : 0)));
  struct stat target {};
  const bool exists = entry.get() >= 0 && ::fstat(entry.get(), &target) == 0;
  if (exists && S_ISDIR(target.st_mode))
    throw CommandError(name_ + " is a folder: name a file with -o");
  if (exists && !S_ISREG(target.st_mode) && !S_ISLNK(target.st_mode)) {
    OpenInPlace(entry.get(), target, force);
    return;
  }
  if (exists && sameAsInput(target)) throw SameAsInput(name_);
  struct stat link {};
  const bool entryExists = ::lstat(path.c_str(), &link) == 0;
  if (!force && entryExists) {
    if (!exists)
      throw CommandError(name_ +
                         " is a symbolic link to a missing file: pass -f to replace the link, or "
                         "choose another name with -o");
    throw CommandError(name_ + " exists: pass -f to overwrite it, or choose another name with -o");
  }
  try {
    atomic_ = std::make_unique<platform::AtomicOutput>(path);
  } catch (const platform::SystemError& e) {
    throw CommandError(e.what());
  }
  kind_ = Kind::Atomic;
  fd_ = atomic_->Descriptor();
}

// A device or pipe is written where it is: replacing it would destroy it
// (think of /dev/null). What may be written so decides who could have put
// it there.
void Output::OpenInPlace(int pathFd, const struct stat& target, bool force) {
  const bool anonymousPipe = S_ISFIFO(target.st_mode) && IsAnonymousPipe(pathFd);
  if (S_ISSOCK(target.st_mode))
    throw CommandError(name_ +
                       " is a socket, which cannot be written as a file: choose another "
                       "name with -o");
  if (!S_ISCHR(target.st_mode) && !anonymousPipe) {
    const char* what = S_ISFIFO(target.st_mode) ? "a FIFO" : "a block device";
    if (target.st_uid != ::geteuid())
      throw CommandError(name_ + " is " + what +
                         " that belongs to another user: it could pass the output on to them. "
                         "Choose another name with -o");
    if (!force)
      throw CommandError(name_ + " is " + what + ": pass -f to write into it, or choose another " +
                         "name with -o");
  }
  const std::string self = "/proc/self/fd/" + std::to_string(pathFd);
  kind_ = Kind::InPlace;
  fd_ = ::open(self.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
  if (fd_ < 0) throw CommandError(SystemError("cannot open " + name_));
}

Output::~Output() {
  if (kind_ == Kind::InPlace && fd_ >= 0) ::close(fd_);
}

void Output::Write(const std::uint8_t* data, std::size_t count) {
  WriteAll(fd_, data, count, name_);
}

void Output::CloseInPlace() {
  if (::close(std::exchange(fd_, -1)) != 0)
    throw CommandError(SystemError("cannot write " + name_));
}

}  // namespace quorin
