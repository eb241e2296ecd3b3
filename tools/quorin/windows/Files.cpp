// Inputs and outputs on Windows, through the platform layer's files (UTF-8
// names) and atomic outputs.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <utility>

#include "../Errors.h"
#include "../Files.h"
#include "quorin/platform/Files.h"

namespace quorin {
namespace {

// Windows gives the names CON, PRN, AUX, NUL, COM1-9 and LPT1-9 to devices
// in every folder and with any extension ("CON.qsl", "My Files\\AUX"): an
// output named so would go to the device, or fail after all the work.
// They are refused before any, but for NUL alone, the way to discard.
void RefuseReservedName(const std::string& path) {
  std::string base = path.substr(path.find_last_of("/\\:") + 1);
  base = base.substr(0, base.find('.'));
  while (!base.empty() && base.back() == ' ') base.pop_back();
  for (char& c : base)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  const bool numbered = base.size() == 4 && (base.starts_with("COM") || base.starts_with("LPT")) &&
                        base[3] >= '1' && base[3] <= '9';
  const bool named = base == "CON" || base == "PRN" || base == "AUX" || base == "NUL" ||
                     base == "CONIN$" || base == "CONOUT$";
  if (!numbered && !named) return;
  if (path == "NUL" || path == "nul") return;
  throw UsageError("'" + path + "' names the device " + base +
                   ": Windows reserves CON, PRN, AUX, NUL, COM1-9 and LPT1-9 as names in every "
                   "folder and with any extension; choose another name (-o NUL discards the "
                   "output, -o - writes to standard output)");
}

bool standardClosed[3] = {false, false, false};

bool IsOpen(int fd) {
  const intptr_t handle = ::_get_osfhandle(fd);
  return handle != -1 && handle != -2;  // -2: a process without a console
}

template <class Work>
auto AsCommandErrors(Work work) {
  try {
    return work();
  } catch (const platform::SystemError& e) {
    throw CommandError(e.what());
  }
}

}  // namespace

void SecureStandardDescriptors() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (IsOpen(fd)) continue;
    standardClosed[fd] = true;
    const int null = ::_open("NUL", _O_RDWR | _O_BINARY);
    if (null >= 0 && null != fd) {
      ::_dup2(null, fd);
      ::_close(null);
    }
  }
  platform::UseBinaryStandardStreams();
}

Input::Input(const std::string& path) {
  if (path == "-") {
    if (standardClosed[0])
      throw CommandError("standard input is closed: name INPUT, or redirect a file or pipe to it");
    name_ = "standard input";
    fd_ = 0;
  } else {
    name_ = "'" + path + "'";
    try {
      fd_ = platform::OpenToRead(path);
    } catch (const platform::SystemError& e) {
      if (e.Code() == EISDIR) throw CommandError(name_ + " is a folder, not a file");
      throw CommandError(e.what());
    }
    owned_ = true;
  }
  const platform::FileFacts facts = AsCommandErrors([&] { return platform::FactsOf(fd_); });
  if (facts.kind == platform::FileKind::Folder)
    throw CommandError(name_ + " is a folder, not a file");
  device_ = facts.device;
  inode_ = facts.index;
  regular_ = facts.kind == platform::FileKind::Regular;
  if (regular_) {
    const std::int64_t at = ::_lseeki64(fd_, 0, SEEK_CUR);
    remaining_ = facts.size - (at > 0 ? at : 0);
  }
}

Input::~Input() {
  if (owned_) platform::CloseFile(fd_);
}

std::size_t Input::Read(std::uint8_t* buffer, std::size_t count) {
  std::size_t done = 0;
  while (done < count) {
    const std::size_t n = AsCommandErrors(
        [&] { return platform::ReadSome(fd_, buffer + done, count - done, name_); });
    if (n == 0) break;
    done += n;
  }
  return done;
}

Output::Output(const std::string& path, bool outputGiven, bool force, const Input* input,
               ToTerminal toTerminal)
    : path_(path), force_(force) {
  const auto sameAsInput = [input](const platform::FileFacts& facts) {
    return input != nullptr && input->IsRegular() && facts.kind == platform::FileKind::Regular &&
           input->Device() == facts.device && input->Inode() == facts.index;
  };
  if (path == "-") {
    if (standardClosed[1])
      throw CommandError("standard output is closed: pass -o FILE, or redirect it");
    if (toTerminal != ToTerminal::Allowed && !outputGiven && platform::IsTerminal(1))
      throw TerminalRefusal(toTerminal);
    try {
      if (sameAsInput(platform::FactsOf(1))) throw SameAsInput("standard output is INPUT");
    } catch (const platform::SystemError&) {
    }
    name_ = "standard output";
    kind_ = Kind::StandardOutput;
    fd_ = 1;
    return;
  }
  name_ = "'" + path + "'";
  RefuseReservedName(path);
  const platform::FileFacts target = platform::FactsOfName(path);
  if (target.kind == platform::FileKind::Folder)
    throw CommandError(name_ + " is a folder: name a file with -o");
  if (target.kind == platform::FileKind::Other) {
    // A device (NUL, CON, COM1) or a pipe is written where it is: replacing
    // it is impossible, and it holds nothing to lose.
    fd_ = AsCommandErrors([&] { return platform::OpenToWrite(path); });
    kind_ = Kind::InPlace;
    return;
  }
  if (sameAsInput(target)) throw SameAsInput(name_);
  if (!force && target.kind != platform::FileKind::Missing)
    throw CommandError(name_ + " exists: pass -f to overwrite it, or choose another name with -o");
  try {
    atomic_ = std::make_unique<platform::AtomicOutput>(path);
  } catch (const platform::SystemError& e) {
    throw CommandError(e.what());
  }
  kind_ = Kind::Atomic;
  fd_ = atomic_->Descriptor();
}

Output::~Output() {
  if (kind_ == Kind::InPlace && fd_ >= 0) platform::CloseFile(fd_);
}

void Output::Write(const std::uint8_t* data, std::size_t count) {
  AsCommandErrors([&] { platform::WriteTo(fd_, data, count, name_); });
}

void Output::CloseInPlace() {
  platform::CloseFile(std::exchange(fd_, -1));
}

}  // namespace quorin
