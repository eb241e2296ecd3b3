// Files opened for reading, and what a name or a descriptor refers to: the
// system calls of the code above the platform layer that reads files by
// name. Names are UTF-8 on every platform; descriptors are ints (CRT
// descriptors on Windows).
#pragma once

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
void CloseFile(int descriptor) noexcept;
// Throws SystemError.
FileFacts FactsOf(int descriptor);
// What the name is, a final symbolic link not followed; Missing when it
// cannot be examined.
FileFacts FactsOfName(const std::string& path) noexcept;

}  // namespace quorin::platform
