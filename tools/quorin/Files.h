// The input and output of a command: files, devices, pipes, or standard
// input and output, read and written through plain descriptors.
//
// A regular output file is an atomic output: it takes OUT's name only when
// the command succeeds, so a failed or killed run leaves neither a
// half-written OUT nor a stray temporary file. A character device (a
// terminal, /dev/null) and a pipe of this process's own (>(...)) are written
// in place; a named FIFO or a block device only with -f and only when it is
// the user's own, and nothing is reached through a symbolic link in a sticky
// folder such as /tmp, where others may have planted it. On Windows, NUL,
// the console and pipes are written in place, and standard input and output
// carry bytes (binary mode).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "quorin/platform/AtomicOutput.h"
#include "quorin/platform/Files.h"

namespace quorin {

struct CommandError;
struct UsageError;

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Fills buffer with up to count bytes; fewer only at the end of the input.
  virtual std::size_t Read(std::uint8_t* buffer, std::size_t count) = 0;
};

class ByteSink {
 public:
  virtual ~ByteSink() = default;
  // Writes all count bytes or throws CommandError.
  virtual void Write(const std::uint8_t* data, std::size_t count) = 0;
};

// Makes sure descriptors 0, 1 and 2 are open (on /dev/null if they were
// closed), so that no file the tool opens can take their place, and
// remembers which were closed. Called once at start.
void SecureStandardDescriptors();

// INPUT: a file, a device or FIFO, or standard input ("-"), read from its
// current offset.
class Input : public ByteSource {
 public:
  explicit Input(const std::string& path);
  ~Input() override;
  Input(const Input&) = delete;
  Input& operator=(const Input&) = delete;

  std::size_t Read(std::uint8_t* buffer, std::size_t count) override;
  const std::string& Name() const { return name_; }
  // The bytes left to read, when the input is a regular file.
  std::optional<std::int64_t> Remaining() const { return remaining_; }
  // The file's identity, to refuse writing the output over it.
  std::uint64_t Device() const { return device_; }
  std::uint64_t Inode() const { return inode_; }
  bool IsRegular() const { return regular_; }

 private:
  std::string name_;
  int fd_ = -1;
  bool owned_ = false, regular_ = false;
  std::uint64_t device_ = 0, inode_ = 0;
  std::optional<std::int64_t> remaining_;
};

// What may go to standard output when it is a terminal.
enum class ToTerminal {
  Allowed,          // text, or plaintext the user asked to see
  Refused,          // binary output
  RefusedButArmour  // binary output of a command that can write text with -a
};

class Output : public ByteSink {
 public:
  // Throws CommandError when OUT exists and force is false, when OUT (or
  // standard output) is the input file, or when OUT is a special file that
  // may not be written; UsageError when binary output would go to a
  // terminal and toTerminal refuses it (unless -o - asked for it).
  Output(const std::string& path, bool outputGiven, bool force, const Input* input,
         ToTerminal toTerminal);
  ~Output() override;  // an uncommitted output disappears
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;

  void Write(const std::uint8_t* data, std::size_t count) override;
  void Write(const std::string& data);
  // Makes the finished output durable and moves it into place.
  void Commit();

 private:
  enum class Kind { StandardOutput, InPlace, Atomic };
  // A device or pipe, as examined, written where it is.
  void OpenInPlace(const platform::OutputPlace& place, bool force);

  std::string path_, name_;
  Kind kind_ = Kind::StandardOutput;
  int fd_ = -1;
  bool force_ = false;
  std::unique_ptr<platform::AtomicOutput> atomic_;
};

}  // namespace quorin
