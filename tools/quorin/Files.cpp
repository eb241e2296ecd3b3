// Inputs and outputs through the platform layer's files (UTF-8 names) and
// atomic outputs.
#include "Files.h"

#include <utility>

#include "Errors.h"

namespace quorin {
namespace {

std::array<bool, 3> standardClosed{};

template <class Work>
auto AsCommandErrors(Work work) {
  try {
    return work();
  } catch (const platform::SystemError& e) {
    throw CommandError(e.what());
  }
}

UsageError TerminalRefusal(ToTerminal toTerminal) {
  return UsageError(std::string("refusing to write binary output to the terminal: redirect it, "
                                "pass -o FILE, ") +
                    (toTerminal == ToTerminal::RefusedButArmour ? "use -a for text, " : "") +
                    "or force it with -o -");
}

CommandError SameAsInput(const std::string& which) {
  return CommandError("INPUT and OUT are the same file (" + which +
                      "): write the output to another file");
}

// An output named so would go to the device, or fail after all the work:
// refused before any.
void RefuseReservedName(const std::string& path) {
  const std::string device = platform::ReservedDeviceName(path);
  if (device.empty()) return;
  throw UsageError("'" + path + "' names the device " + device +
                   ": Windows reserves CON, PRN, AUX, NUL, COM1-9 and LPT1-9 as names in every "
                   "folder and with any extension; choose another name (-o NUL discards the "
                   "output, -o - writes to standard output)");
}

}  // namespace

void SecureStandardDescriptors() {
  standardClosed = platform::SecureStandardDescriptors();
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
    const std::int64_t at = platform::PositionOf(fd_);
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
    // "quorin encrypt p.bin >> p.bin" would read its own output until the disk is full.
    bool same = false;
    try {
      same = sameAsInput(platform::FactsOf(1));
    } catch (const platform::SystemError&) {
    }
    if (same) throw SameAsInput("standard output is INPUT");
    name_ = "standard output";
    kind_ = Kind::StandardOutput;
    fd_ = 1;
    return;
  }
  name_ = "'" + path + "'";
  RefuseReservedName(path);
  using Place = platform::OutputPlace::Kind;
  const platform::OutputPlace place(path);
  switch (place.Is()) {
    case Place::Folder:
      throw CommandError(name_ + " is a folder: name a file with -o");
    case Place::Missing:
      break;
    case Place::DanglingLink:
      if (!force)
        throw CommandError(name_ +
                           " is a symbolic link to a missing file: pass -f to replace the link, "
                           "or choose another name with -o");
      break;
    case Place::Regular:
      if (sameAsInput(place.Facts())) throw SameAsInput(name_);
      if (!force)
        throw CommandError(name_ +
                           " exists: pass -f to overwrite it, or choose another name with -o");
      break;
    default:
      OpenInPlace(place, force);
      return;
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
void Output::OpenInPlace(const platform::OutputPlace& place, bool force) {
  using Place = platform::OutputPlace::Kind;
  if (place.Is() == Place::Socket)
    throw CommandError(name_ +
                       " is a socket, which cannot be written as a file: choose another "
                       "name with -o");
  if (place.Is() == Place::Fifo || place.Is() == Place::BlockDevice) {
    const char* what = place.Is() == Place::Fifo ? "a FIFO" : "a block device";
    if (!place.OwnedByUser())
      throw CommandError(name_ + " is " + what +
                         " that belongs to another user: it could pass the output on to them. "
                         "Choose another name with -o");
    if (!force)
      throw CommandError(name_ + " is " + what + ": pass -f to write into it, or choose another " +
                         "name with -o");
  }
  fd_ = AsCommandErrors([&] { return place.OpenInPlace(); });
  kind_ = Kind::InPlace;
}

Output::~Output() {
  if (kind_ == Kind::InPlace && fd_ >= 0) platform::CloseFile(fd_);
}

void Output::Write(const std::uint8_t* data, std::size_t count) {
  AsCommandErrors([&] { platform::WriteTo(fd_, data, count, name_); });
}

void Output::Write(const std::string& data) {
  Write(reinterpret_cast<const std::uint8_t*>(data.data()), data.size());
}

void Output::Commit() {
  switch (kind_) {
    case Kind::StandardOutput:
      return;
    case Kind::InPlace:
      AsCommandErrors([&] { platform::CloseWritten(std::exchange(fd_, -1), name_); });
      return;
    case Kind::Atomic:
      try {
        atomic_->Commit(force_ ? platform::Replace::Allowed : platform::Replace::Never);
      } catch (const platform::OutputExists&) {
        throw CommandError(name_ + " appeared meanwhile: pass -f to overwrite it");
      } catch (const platform::SystemError& e) {
        throw CommandError(e.what());
      }
      return;
  }
}

}  // namespace quorin
