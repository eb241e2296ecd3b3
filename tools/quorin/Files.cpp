#include "Files.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>

#include "Errors.h"

namespace quorin {
namespace {

// The temporary output to remove if the process is interrupted.
char interruptedTemp[4096];
std::atomic<bool> haveTemp{false};

extern "C" void RemoveTempAndDie(int sig) {
  if (haveTemp.load()) ::unlink(interruptedTemp);
  std::signal(sig, SIG_DFL);
  std::raise(sig);
}

std::string SystemError(const std::string& what) {
  return what + ": " + std::strerror(errno);
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa {
  }, sb{};
  return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

// A temporary file that disappears when closed, for standard input that cannot be sized.
int OpenSpool() {
  const char* dir = std::getenv("TMPDIR");
  const std::string folder = dir != nullptr && *dir != '\0' ? dir : "/tmp";
  int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd < 0) {
    std::string templ = folder + "/quorin-stdin-XXXXXX";
    fd = ::mkstemp(templ.data());
    if (fd >= 0) ::unlink(templ.c_str());
  }
  if (fd < 0)
    throw CommandError(
        SystemError("cannot make a temporary file in " + folder + " for standard input"));
  return fd;
}

}  // namespace

Input::Input(const std::string& path) {
  if (path != "-") {
    name_ = path;
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec))
      throw CommandError("'" + path + "' is a folder, not a file");
    try {
      stream_ = std::make_unique<framework::TFileStream>(path, framework::fmOpenRead);
    } catch (const framework::EStreamError& e) {
      throw CommandError(e.what());
    }
    return;
  }
  name_ = "standard input";
  struct stat st {};
  if (::fstat(STDIN_FILENO, &st) == 0 && S_ISREG(st.st_mode)) {
    stream_ = std::make_unique<framework::THandleStream>(STDIN_FILENO, name_);
    return;
  }
  // A pipe or terminal has no size: copy it to a temporary file first.
  spoolFd_ = OpenSpool();
  framework::THandleStream in(STDIN_FILENO, name_);
  auto spool = std::make_unique<framework::THandleStream>(spoolFd_, "the copy of standard input");
  std::vector<char> chunk(1 << 16);
  for (std::int32_t n; (n = in.Read(chunk.data(), static_cast<std::int32_t>(chunk.size()))) > 0;)
    spool->Write(chunk.data(), n);
  spool->SetPosition(0);
  stream_ = std::move(spool);
}

Input::~Input() {
  stream_.reset();
  if (spoolFd_ >= 0) ::close(spoolFd_);
}

std::string Input::ReadAll() {
  framework::TStream& s = *stream_;
  std::string data(static_cast<std::size_t>(s.GetSize() - s.Position()), '\0');
  std::size_t done = 0;
  while (done < data.size()) {
    const auto n =
        s.Read(data.data() + done,
               static_cast<std::int32_t>(std::min<std::size_t>(data.size() - done, 1 << 20)));
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  data.resize(done);
  return data;
}

Output::Output(const std::string& path, bool outputGiven, bool force, const std::string& inputPath,
               bool binaryToTerminalAllowed)
    : path_(path), force_(force) {
  if (path == "-") {
    if (!binaryToTerminalAllowed && !outputGiven && ::isatty(STDOUT_FILENO))
      throw UsageError(
          "refusing to write binary output to the terminal: redirect it, pass -o FILE, use -a for "
          "text, "
          "or force it with -o -");
    name_ = "standard output";
    stream_ = std::make_unique<framework::THandleStream>(STDOUT_FILENO, name_);
    return;
  }
  name_ = path;
  if (inputPath != "-" && (inputPath == path || SameFile(inputPath, path)))
    throw CommandError("INPUT and OUT are the same file ('" + path +
                       "'): write the output to another file");
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec))
    throw CommandError("'" + path + "' is a folder: name a file with -o");
  if (!force && std::filesystem::exists(path, ec))
    throw CommandError("'" + path +
                       "' exists: pass -f to overwrite it, or choose another name with -o");

  // The temporary file sits in OUT's folder so that the final rename cannot cross file systems.
  const std::filesystem::path target(path);
  const std::string folder = target.has_parent_path() ? target.parent_path().string() : ".";
  std::string templ = folder + "/." + target.filename().string() + ".quorin-XXXXXX";
  const int fd = ::mkstemp(templ.data());
  if (fd < 0) throw CommandError(SystemError("cannot create the output in '" + folder + "'"));
  tempPath_ = templ;
  if (tempPath_.size() < sizeof interruptedTemp) {
    std::memcpy(interruptedTemp, tempPath_.c_str(), tempPath_.size() + 1);
    haveTemp.store(true);
    std::signal(SIGINT, RemoveTempAndDie);
    std::signal(SIGTERM, RemoveTempAndDie);
    std::signal(SIGHUP, RemoveTempAndDie);
  }
  ::close(fd);
  stream_ = std::make_unique<framework::TFileStream>(tempPath_, framework::fmOpenWrite);
}

Output::~Output() {
  stream_.reset();
  if (!tempPath_.empty()) {
    ::unlink(tempPath_.c_str());
    haveTemp.store(false);
  }
}

void Output::Write(const std::string& data) {
  for (std::size_t done = 0; done < data.size();) {
    const auto n = static_cast<std::int32_t>(std::min<std::size_t>(data.size() - done, 1 << 20));
    if (stream_->Write(data.data() + done, n) != n) throw CommandError("short write to " + name_);
    done += static_cast<std::size_t>(n);
  }
}

void Output::Commit() {
  if (tempPath_.empty()) return;
  auto* file = static_cast<framework::TFileStream*>(stream_.get());
  if (::fsync(file->Handle()) != 0) throw CommandError(SystemError("cannot write '" + path_ + "'"));
  stream_.reset();
  // Without -f the rename must not replace a file that appeared meanwhile.
  const unsigned flags = force_ ? 0 : RENAME_NOREPLACE;
  if (::renameat2(AT_FDCWD, tempPath_.c_str(), AT_FDCWD, path_.c_str(), flags) != 0) {
    if (errno == EEXIST)
      throw CommandError("'" + path_ + "' appeared meanwhile: pass -f to overwrite it");
    throw CommandError(SystemError("cannot move the output into place as '" + path_ + "'"));
  }
  tempPath_.clear();
  haveTemp.store(false);
}

}  // namespace quorin
