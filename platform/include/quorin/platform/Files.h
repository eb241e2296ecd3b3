// Files opened for reading, and what a name or a descriptor refers to: the
// system calls of the code above the platform layer that reads files by
// name. Names are UTF-8 on every platform; descriptors are ints (CRT
// descriptors on Windows).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "quorin/platform/SystemError.h"

namespace quorin::platform {

enum class FileKind { Missing, Regular, Folder, Link, Other };

struct FileFacts {
  FileKind kind = FileKind::Missing;
  std::int64_t size = 0;
  // Which file it is: equal for two names or descriptors of the same file.
  std::uint64_t device = 0, index = 0;

  bool SameFileAs(const FileFacts& other) const {
    return kind == FileKind::Regular && other.kind == FileKind::Regular && device == other.device &&
           index == other.index;
  }
};

// Opens path to read. Throws SystemError ("cannot open 'path': reason").
int OpenToRead(const std::string& path);
// Opens an existing file or device (NUL, a terminal, a pipe) to write
// where it is, without truncating it. Throws SystemError.
int OpenToWrite(const std::string& path);
// Reads what one read gives, up to count bytes (a pipe or terminal may give
// fewer before its end); 0 at the end. Throws SystemError ("cannot read
// <name>: reason").
std::size_t ReadSome(int descriptor, void* buffer, std::size_t count, const std::string& name);
// Writes all count bytes. Throws SystemError ("cannot write <name>: reason").
void WriteTo(int descriptor, const void* data, std::size_t count, const std::string& name);
// Standard input and output carry bytes: on Windows they leave text mode,
// which would rewrite line ends and take Ctrl-Z for the end.
void UseBinaryStandardStreams() noexcept;
// Whether the descriptor is a terminal (on Windows, a console: the NUL
// device is a character device but not one).
bool IsTerminal(int descriptor) noexcept;
void CloseFile(int descriptor) noexcept;
// Throws SystemError.
FileFacts FactsOf(int descriptor);
// What the name is, a final symbolic link not followed; Missing when it
// cannot be examined.
FileFacts FactsOfName(const std::string& path) noexcept;

// Makes sure descriptors 0, 1 and 2 are open (on the null device if they
// were closed), so that no file opened later can take their place, and
// says which were closed; standard input and output then carry bytes.
std::array<bool, 3> SecureStandardDescriptors() noexcept;
// The descriptor's offset, or -1 where it has none (a pipe).
std::int64_t PositionOf(int descriptor) noexcept;
// Closes a descriptor written where it is. Throws SystemError ("cannot
// write <name>: reason") when the close reports that writes failed.
void CloseWritten(int descriptor, const std::string& name);
// The device a name reaches in every folder and with any extension (on
// Windows CON, PRN, AUX, NUL, COM1-9, LPT1-9; "NUL" alone, the way to
// discard, is not counted), or "".
std::string ReservedDeviceName(const std::string& path);

// What an output's name refers to, examined once and then, for a device or
// a pipe, opened through what was examined, so that nothing can be swapped
// in between (POSIX). In a sticky folder (/tmp) a final symbolic link is
// not followed, as others may have planted it there.
class OutputPlace {
 public:
  enum class Kind {
    Missing,       // nothing there: a new file
    Regular,       // a file (or, in a sticky folder, a symbolic link itself)
    DanglingLink,  // a symbolic link to nothing
    Folder,
    Terminal,       // a character device: a terminal, the null device
    AnonymousPipe,  // a pipe of this process's own (>(...)), which no one else can have put there
    Fifo,
    BlockDevice,
    Socket,
  };

  explicit OutputPlace(const std::string& path);
  ~OutputPlace();
  OutputPlace(const OutputPlace&) = delete;
  OutputPlace& operator=(const OutputPlace&) = delete;

  Kind Is() const { return kind_; }
  const FileFacts& Facts() const { return facts_; }
  // Whether the file belongs to the user this process runs as.
  bool OwnedByUser() const { return owned_; }
  // Opens what was examined to write where it is. Throws SystemError.
  int OpenInPlace() const;

 private:
  std::string path_;
  Kind kind_ = Kind::Missing;
  FileFacts facts_;
  bool owned_ = false;
  int examined_ = -1;  // POSIX: what the name referred to, held open
};

}  // namespace quorin::platform
