#include "Files.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <utility>

#include "Errors.h"

namespace quorin {
namespace {

bool standardClosed[3] = {false, false, false};

// The named temporary output to remove if a signal ends the process; used
// only where the file system cannot make unnamed temporary files.
char interruptedTemp[4096];
std::atomic<bool> haveTemp{false};

extern "C" void RemoveTempAndDie(int sig) {
  if (haveTemp.load()) ::unlink(interruptedTemp);
  std::signal(sig, SIG_DFL);
  std::raise(sig);
}

// Signals that end the process by default. An inherited "ignore" (nohup)
// is kept.
void RemoveTempOnSignals() {
  for (const int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGXFSZ}) {
    struct sigaction old {};
    if (::sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
    struct sigaction act {};
    act.sa_handler = RemoveTempAndDie;
    sigemptyset(&act.sa_mask);
    ::sigaction(sig, &act, nullptr);
  }
}

std::string SystemError(const std::string& what, int err = errno) {
  return what + ": " + std::strerror(err);
}

std::string FolderOf(const std::string& path) {
  const std::filesystem::path target(path);
  return target.has_parent_path() ? target.parent_path().string() : ".";
}

// A short name, so that the temporary file fits wherever OUT's name fits.
std::string TemporaryName(const std::string& folder) {
  static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  unsigned char random[12];
  if (::getrandom(random, sizeof random, 0) != static_cast<ssize_t>(sizeof random))
    throw CommandError(SystemError("cannot get random bytes for a temporary name"));
  std::string name = folder + "/.quorin-";
  for (const unsigned char r : random) name += kLetters[r % (sizeof kLetters - 1)];
  return name;
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
  device_ = st.st_dev;
  inode_ = st.st_ino;
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

std::string Input::ReadAll() {
  std::string data;
  std::size_t done = 0;
  for (;;) {
    data.resize(done + (1 << 16));
    const std::size_t n = Read(reinterpret_cast<std::uint8_t*>(data.data()) + done, 1 << 16);
    done += n;
    if (n < (1 << 16)) break;
  }
  data.resize(done);
  return data;
}

Output::Output(const std::string& path, bool outputGiven, bool force, const Input* input,
               bool binaryToTerminalAllowed)
    : path_(path), force_(force) {
  if (path == "-") {
    if (standardClosed[STDOUT_FILENO])
      throw CommandError("standard output is closed: pass -o FILE, or redirect it");
    if (!binaryToTerminalAllowed && !outputGiven && ::isatty(STDOUT_FILENO))
      throw UsageError(
          "refusing to write binary output to the terminal: redirect it, pass -o FILE, use -a for "
          "text, or force it with -o -");
    name_ = "standard output";
    kind_ = Kind::StandardOutput;
    fd_ = STDOUT_FILENO;
    return;
  }
  name_ = "'" + path + "'";
  struct stat target {};
  const bool exists = ::stat(path.c_str(), &target) == 0;
  if (exists && S_ISDIR(target.st_mode))
    throw CommandError(name_ + " is a folder: name a file with -o");
  if (exists && !S_ISREG(target.st_mode)) {
    // A device, FIFO or socket is written in place, as any Unix tool does:
    // replacing it would destroy it (think of /dev/null).
    kind_ = Kind::Special;
    fd_ = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
    if (fd_ < 0) throw CommandError(SystemError("cannot open " + name_));
    return;
  }
  if (exists && input != nullptr && input->IsRegular() && input->Device() == target.st_dev &&
      input->Inode() == target.st_ino)
    throw CommandError("INPUT and OUT are the same file (" + name_ +
                       "): write the output to another file");
  struct stat link {};
  const bool entryExists = ::lstat(path.c_str(), &link) == 0;
  if (!force && entryExists) {
    if (!exists)
      throw CommandError(name_ +
                         " is a symbolic link to a missing file: pass -f to replace the link, or "
                         "choose another name with -o");
    throw CommandError(name_ + " exists: pass -f to overwrite it, or choose another name with -o");
  }
  OpenTemporary(FolderOf(path));
}

void Output::OpenTemporary(const std::string& folder) {
  // An unnamed file needs no cleaning up, whatever ends the process.
  fd_ = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
  if (fd_ >= 0) {
    kind_ = Kind::Unnamed;
    return;
  }
  if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
    throw CommandError(SystemError("cannot create the output in '" + folder + "'"));
  // The file system has no unnamed files: a named one, removed on failure.
  for (int tries = 0; fd_ < 0; ++tries) {
    tempPath_ = TemporaryName(folder);
    fd_ = ::open(tempPath_.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC | O_NOCTTY, 0600);
    if (fd_ < 0 && (errno != EEXIST || tries == 100)) {
      tempPath_.clear();
      throw CommandError(SystemError("cannot create the output in '" + folder + "'"));
    }
  }
  kind_ = Kind::NamedTemporary;
  if (tempPath_.size() < sizeof interruptedTemp) {
    std::memcpy(interruptedTemp, tempPath_.c_str(), tempPath_.size() + 1);
    haveTemp.store(true);
    RemoveTempOnSignals();
  }
}

Output::~Output() {
  if (kind_ != Kind::StandardOutput && fd_ >= 0) ::close(fd_);
  if (!tempPath_.empty()) {
    ::unlink(tempPath_.c_str());
    haveTemp.store(false);
  }
}

void Output::Write(const std::uint8_t* data, std::size_t count) {
  WriteAll(fd_, data, count, name_);
}

void Output::Write(const std::string& data) {
  Write(reinterpret_cast<const std::uint8_t*>(data.data()), data.size());
}

void Output::Commit() {
  if (kind_ == Kind::StandardOutput) return;
  if (kind_ == Kind::Special) {
    const int fd = std::exchange(fd_, -1);
    if (::close(fd) != 0) throw CommandError(SystemError("cannot write " + name_));
    return;
  }
  if (::fsync(fd_) != 0) throw CommandError(SystemError("cannot write " + name_));

  if (kind_ == Kind::Unnamed) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd_);
    if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path_.c_str(), AT_SYMLINK_FOLLOW) == 0) return;
    if (errno != EEXIST)
      throw CommandError(SystemError("cannot move the output into place as " + name_));
    if (!force_) throw CommandError(name_ + " appeared meanwhile: pass -f to overwrite it");
    // Replacing: a name of its own first, then an atomic rename over OUT.
    for (int tries = 0;; ++tries) {
      tempPath_ = TemporaryName(FolderOf(path_));
      if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, tempPath_.c_str(), AT_SYMLINK_FOLLOW) == 0)
        break;
      const int err = errno;
      tempPath_.clear();
      if (err != EEXIST || tries == 100)
        throw CommandError(SystemError("cannot move the output into place as " + name_, err));
    }
  }
  // Without -f the rename must not replace a file that appeared meanwhile.
  const unsigned flags = force_ ? 0 : RENAME_NOREPLACE;
  if (::renameat2(AT_FDCWD, tempPath_.c_str(), AT_FDCWD, path_.c_str(), flags) != 0) {
    if (errno == EEXIST) throw CommandError(name_ + " appeared meanwhile: pass -f to overwrite it");
    throw CommandError(SystemError("cannot move the output into place as " + name_));
  }
  tempPath_.clear();
  haveTemp.store(false);
}

}  // namespace quorin
