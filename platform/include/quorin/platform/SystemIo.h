// The system's file calls behind the framework's handles, one
// implementation per platform (posix/, windows/). A handle is an int on
// every platform (a CRT descriptor on Windows); failures set errno.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace quorin::platform::sysio {

// How a file is opened: one access, and what to do with a file that is
// (not) there.
enum OpenFlags : unsigned {
  kReadOnly = 0,
  kWriteOnly = 1,
  kReadWrite = 2,
  kCreate = 4,    // made when missing
  kTruncate = 8,  // emptied when there
};
constexpr OpenFlags operator|(OpenFlags a, OpenFlags b) {
  return static_cast<OpenFlags>(static_cast<unsigned>(a) | static_cast<unsigned>(b));
}

// Opens Name (UTF-8); returns the handle, or -1 with errno set. Rights apply
// to a file that kCreate creates: 0600-like rights make it the owner's alone
// on Windows, as on POSIX.
int Open(const std::string& Name, OpenFlags Flags, unsigned Rights = 0666);
// One read or write of up to Count bytes (interrupted calls retried): the
// bytes moved, 0 at the end of a file, or -1 with errno set.
long ReadSome(int Handle, void* Buffer, std::size_t Count);
long WriteSome(int Handle, const void* Buffer, std::size_t Count);
// Reads until Count bytes arrived or the end of the file; -1 with errno on error.
long ReadFully(int Handle, void* Buffer, std::size_t Count);
// Writes until Count bytes went out; -1 with errno on error (some may have been written).
long WriteFully(int Handle, const void* Buffer, std::size_t Count);
// The new position, or -1 with errno set; Whence is SEEK_SET, SEEK_CUR or SEEK_END.
std::int64_t Seek(int Handle, std::int64_t Offset, int Whence);
// 0, or -1 with errno set; the handle is released either way.
int Close(int Handle);

struct TFileFacts {
  bool Folder = false;
  std::int64_t Size = 0;
};
// What the handle refers to; false with errno set on failure.
bool Examine(int Handle, TFileFacts& Facts);

// The text for an errno value set by these functions.
std::string ErrorText(int Code);

}  // namespace quorin::platform::sysio
