// SealFile and OpenFile: the stream operations between a file descriptor
// and an output that exists under its name only once it is complete.
#include <fcntl.h>
#include <sodium.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include "SecureBuffer.h"
#include "quorin/framework/HandleStream.h"
#include "quorin/seal/Seal.h"

namespace quorin::seal {
namespace {

FileError SystemError(const std::string& what, int err = errno) {
  return FileError(what + ": " + std::strerror(err));
}

std::string FolderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

class Descriptor {
 public:
  explicit Descriptor(int fd = -1) : fd_(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }
  int release() { return std::exchange(fd_, -1); }
  void reset(int fd) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }

 private:
  int fd_;
};

// The output, built in an unnamed file in its folder (or, where the file
// system has none, a named one removed on failure) and given its name by
// Commit.
class AtomicOutput {
 public:
  AtomicOutput(const std::string& path, bool replace, const struct stat& input)
      : path_(path), name_("'" + path + "'"), replace_(replace) {
    struct stat target {};
    if (::lstat(path.c_str(), &target) == 0) {
      if (!replace) throw FileError(name_ + " exists: choose another name or allow replacing it");
      if (!S_ISREG(target.st_mode))
        throw FileError(name_ + " is not a regular file; write to it with the stream functions");
      if (target.st_dev == input.st_dev && target.st_ino == input.st_ino)
        throw FileError(name_ + " is the input file: write the output to another file");
    }
    const std::string folder = FolderOf(path);
    fd_.reset(::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600));
    if (fd_.get() >= 0) return;
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
      throw SystemError("cannot create the output in '" + folder + "'");
    temp_ = Unused(folder);
    fd_.reset(::open(temp_.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC | O_NOCTTY, 0600));
    if (fd_.get() < 0) {
      temp_.clear();
      throw SystemError("cannot create the output in '" + folder + "'");
    }
  }
  AtomicOutput(const AtomicOutput&) = delete;
  AtomicOutput& operator=(const AtomicOutput&) = delete;
  ~AtomicOutput() {
    if (!temp_.empty()) ::unlink(temp_.c_str());
  }

  int fd() const { return fd_.get(); }

  void Commit() {
    if (::fsync(fd_.get()) != 0) throw SystemError("cannot write " + name_);
    if (temp_.empty()) {
      const std::string self = "/proc/self/fd/" + std::to_string(fd_.get());
      if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path_.c_str(), AT_SYMLINK_FOLLOW) == 0) return;
      if (errno != EEXIST || !replace_)
        throw SystemError("cannot move the output into place as " + name_);
      temp_ = Unused(FolderOf(path_));
      if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, temp_.c_str(), AT_SYMLINK_FOLLOW) != 0) {
        const int err = errno;
        temp_.clear();
        throw SystemError("cannot move the output into place as " + name_, err);
      }
    }
    const unsigned flags = replace_ ? 0 : RENAME_NOREPLACE;
    if (::renameat2(AT_FDCWD, temp_.c_str(), AT_FDCWD, path_.c_str(), flags) != 0)
      throw SystemError("cannot move the output into place as " + name_);
    temp_.clear();
  }

 private:
  static std::string Unused(const std::string& folder) {
    StartSodium();
    return folder + "/.quorin-" + std::to_string(randombytes_random()) + ".tmp";
  }

  std::string path_, name_, temp_;
  bool replace_;
  Descriptor fd_;
};

template <class Work>
void BetweenFiles(const std::string& source, const std::string& dest, bool replace, Work work) {
  Descriptor in(::open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
  if (in.get() < 0) throw SystemError("cannot open '" + source + "'");
  struct stat st {};
  if (::fstat(in.get(), &st) != 0) throw SystemError("cannot read '" + source + "'");
  if (S_ISDIR(st.st_mode)) throw FileError("'" + source + "' is a folder");
  AtomicOutput out(dest, replace, st);
  framework::THandleStream input(in.get(), "'" + source + "'");
  framework::THandleStream output(out.fd(), "'" + dest + "'");
  work(input, output, "'" + source + "'");
  out.Commit();
}

}  // namespace

void WriteNewKeyFile(const std::string& path) {
  StartSodium();
  SecureBuffer key(32);
  randombytes_buf(key.data(), key.size());
  Descriptor fd(::open(path.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC | O_NOCTTY, 0600));
  if (fd.get() < 0) {
    if (errno == EEXIST) throw FileError("'" + path + "' exists: a key file is never overwritten");
    throw SystemError("cannot create '" + path + "'");
  }
  // umask may have taken bits away; it cannot have added any beyond 0600.
  if (::write(fd.get(), key.data(), key.size()) != static_cast<ssize_t>(key.size()) ||
      ::fsync(fd.get()) != 0) {
    const int err = errno;
    ::unlink(path.c_str());
    throw SystemError("cannot write '" + path + "'", err);
  }
}

void SealFile(const std::string& source, const std::string& dest, const Secret& secret,
              const SealOptions& options) {
  BetweenFiles(source, dest, options.replaceOutput,
               [&](framework::TStream& in, framework::TStream& out, const std::string&) {
                 SealStream(in, out, secret, options);
               });
}

void OpenFile(const std::string& source, const std::string& dest, const Secret& secret,
              const OpenOptions& options) {
  BetweenFiles(source, dest, options.replaceOutput,
               [&](framework::TStream& in, framework::TStream& out, const std::string& name) {
                 OpenStream(in, out, secret, options, name);
               });
}

}  // namespace quorin::seal
