// File encryption and decryption through the framework's typed-file calls, in
// 4096-byte chunks through the work buffer.
//
// Exceptions are caught only while binding the names and creating the output
// (status -5); every other I/O failure leaves as framework::EInOutError. The
// file records close their descriptors when they go out of scope, so every
// path, status code or exception, closes what it opened.
#include <sys/stat.h>

#include <cerrno>
#include <exception>

#include "Padding.h"
#include "quorin/Rc6.h"
#include "quorin/framework/SysUtils.h"
#include "quorin/framework/TypedFile.h"

namespace Rc6 {
inline namespace QUORIN_PACKAGE_NAMESPACE {
namespace {

using namespace framework;

constexpr auto kChunk = static_cast<std::int32_t>(TQuorin::ChunkSize);

// Whether the two names denote one file: the same name, or another path (a
// link, "./", "..") to the same device and inode.
bool SameFile(const std::string& InFile, const std::string& OutFile) {
  if (InFile == OutFile) return true;
  struct stat in {
  }, out{};
  return ::stat(InFile.c_str(), &in) == 0 && ::stat(OutFile.c_str(), &out) == 0 &&
         in.st_dev == out.st_dev && in.st_ino == out.st_ino;
}

bool Bind(TFileRec& F, const std::string& Name, std::uint16_t Mode) {
  try {
    Assign(F, Name);
  } catch (const std::exception&) {
    return false;
  }
  F.Mode = Mode;
  return true;
}

// Creates OutFile empty (or truncates it), binds and opens it. A new output
// is readable by its owner only, since it may receive plaintext; an existing
// one keeps its rights. When the creation failed, the exception that leaves
// the opening names the creation's error, its real cause.
std::int32_t OpenOutput(TFileRec& Out, const std::string& Name) {
  int createError = 0;
  try {
    const int handle = FileCreate(Name, 0600);
    if (handle < 0) createError = errno;
    FileClose(handle);
  } catch (const std::exception&) {
    return TStatus::FileError;
  }
  if (!Bind(Out, Name, fmOpenWrite)) return TStatus::FileError;
  ResetFile(Out, 1);
  if (createError != 0 && Out.Handle < 0) {
    try {
      IOTest();
    } catch (const EInOutError&) {
      throw EInOutError(createError, IOErrorMessage(createError, "creating", Name));
    }
  }
  IOTest();
  return TStatus::Ok;
}

// The input of a file operation: its size when it was opened, and how much
// has been read since.
struct TInput {
  TFileRec Rec;
  std::int64_t Size = 0, Done = 0;
};

// Reads the next chunk; reports whether it was the last one. A short read
// marks the end, with no further system call. A full chunk is the last only
// if it reaches the size the file had when opened; then the end is confirmed
// once with the system, so that a file that grew meanwhile is read on as
// before. The chunk found at the end is the one that gets the padding.
std::int32_t ReadChunk(TInput& In, std::uint8_t* Buffer, bool& AtEnd) {
  std::int32_t n = 0;
  BlockRead(In.Rec, Buffer, kChunk, n);
  IOTest();
  In.Done += n;
  AtEnd = n < kChunk;
  if (!AtEnd && In.Done >= In.Size) {
    AtEnd = EofFile(In.Rec);
    IOTest();
  }
  return n;
}

bool WriteChunk(TFileRec& Out, const std::uint8_t* Buffer, std::int32_t Count) {
  std::int32_t written = 0;
  BlockWrite(Out, Buffer, Count, written);
  IOTest();
  return written == Count;
}

// Binds and opens the input, and takes its size.
bool OpenInput(TInput& In, const std::string& Name) {
  if (!Bind(In.Rec, Name, fmOpenRead)) return false;
  ResetFile(In.Rec, 1);
  IOTest();
  In.Size = FileSizeOf(In.Rec);
  IOTest();
  return true;
}

void CloseBoth(TFileRec& In, TFileRec& Out) {
  Close(In);
  IOTest();
  Close(Out);
  IOTest();
}

}  // namespace

std::int32_t TQuorin::EncryptFile(const std::string& InFile, const std::string& OutFile) {
  if (const std::int32_t status = KeyStatus(); status != TStatus::Ok) return status;
  if (SameFile(InFile, OutFile)) return TStatus::SameFile;

  TInput in;
  TFileRec out;
  if (!OpenInput(in, InFile)) return TStatus::FileError;
  if (const std::int32_t status = OpenOutput(out, OutFile); status != TStatus::Ok) return status;

  for (bool atEnd = false; !atEnd;) {
    std::int32_t n = ReadChunk(in, FBuffer.data(), atEnd);
    if (atEnd) n = padding::Pad(FBuffer.data(), n);
    if (const std::int32_t status = EncryptBuffer(n); status != TStatus::Ok) return status;
    if (!WriteChunk(out, FBuffer.data(), n)) return TStatus::FileError;
  }
  CloseBoth(in.Rec, out);
  return TStatus::Ok;
}

std::int32_t TQuorin::DecryptFile(const std::string& InFile, const std::string& OutFile) {
  if (const std::int32_t status = KeyStatus(); status != TStatus::Ok) return status;
  if (SameFile(InFile, OutFile)) return TStatus::SameFile;

  TInput in;
  TFileRec out;
  if (!OpenInput(in, InFile)) return TStatus::FileError;
  // Refuse a ciphertext that cannot be whole blocks before the output is created.
  if (in.Size <= 0 || in.Size % static_cast<std::int64_t>(BlockSize) != 0)
    return TStatus::BadCiphertext;
  if (const std::int32_t status = OpenOutput(out, OutFile); status != TStatus::Ok) return status;

  for (bool atEnd = false; !atEnd;) {
    std::int32_t n = ReadChunk(in, FBuffer.data(), atEnd);
    // The size was checked, but the file may have changed since.
    if (n == 0 || n % static_cast<std::int32_t>(BlockSize) != 0) return TStatus::BadCiphertext;
    if (const std::int32_t status = DecryptBuffer(n); status != TStatus::Ok) return status;
    if (atEnd) {
      const std::int32_t drop = FBuffer[static_cast<std::size_t>(n - 1)];
      if (drop > n) return TStatus::BadPadding;
      n -= drop;
    }
    if (!WriteChunk(out, FBuffer.data(), n)) return TStatus::FileError;
  }
  CloseBoth(in.Rec, out);
  return TStatus::Ok;
}

}  // namespace QUORIN_PACKAGE_NAMESPACE
}  // namespace Rc6
