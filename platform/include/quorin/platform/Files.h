// Files opened for reading, and what a name or a descriptor refers to: the
// system calls of the code above the platform layer that reads files by
// name. Names are UTF-8 on every platform; descriptors are ints (CRT
// descriptors on Windows).
#pragma once

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

}  // namespace quorin::platform
