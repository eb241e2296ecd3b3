// File encryption and decryption through the framework's typed-file calls:
// 4096-byte chunks through the work buffer, moved to and from the files a
// stage of 32 chunks at a time.
//
// Exceptions are caught only while binding the names and creating the output
// (status -5); every other I/O failure leaves as framework::EInOutError. The
// file records close their descriptors when they go out of scope, so every
// path, status code or exception, closes what it opened.
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>
#include <memory>

#include "Padding.h"
#include "cipher/SecureWipe.h"
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

// The files move through staging buffers of kStage bytes, one system call
// per 32 chunks, while the work buffer still sees 4096-byte chunks. Both
// buffers may hold plaintext and are wiped when the call ends.
constexpr std::int32_t kStage = 32 * kChunk;

class TStage {
 public:
  explicit TStage(std::size_t Size) : FData(new std::uint8_t[Size]), FSize(Size) {}
  ~TStage() { cipher::SecureWipe(FData.get(), FSize); }
  TStage(const TStage&) = delete;
  TStage& operator=(const TStage&) = delete;
  std::uint8_t* Data() { return FData.get(); }

 private:
  std::unique_ptr<std::uint8_t[]> FData;
  std::size_t FSize;
};

// Hands out the input chunk by chunk and says which chunk is the last. A
// short read marks the end, with no further system call. A full read is
// the last only if it reaches the size the file had when opened; then the
// end is confirmed once with the system, so that a file that grew meanwhile
// is read on as before. The chunk found at the end is the one that gets the
// padding.
class TChunkReader {
 public:
  explicit TChunkReader(TInput& In) : FIn(In), FStage(kStage) {}

  std::int32_t Next(std::uint8_t* Buffer, bool& AtEnd) {
    if (FAt == FHave && !FEnded) Fill();
    const std::int32_t n = std::min(kChunk, FHave - FAt);
    std::memcpy(Buffer, FStage.Data() + FAt, static_cast<std::size_t>(n));
    FAt += n;
    AtEnd = FAt == FHave && (FEnded || ConfirmEnd());
    return n;
  }

 private:
  void Fill() {
    std::int32_t n = 0;
    BlockRead(FIn.Rec, FStage.Data(), kStage, n);
    IOTest();
    FIn.Done += n;
    FHave = n;
    FAt = 0;
    FEnded = n < kStage;
  }
  bool ConfirmEnd() {
    if (FIn.Done < FIn.Size) return false;
    FEnded = EofFile(FIn.Rec);
    IOTest();
    return FEnded;
  }

  TInput& FIn;
  TStage FStage;
  std::int32_t FHave = 0, FAt = 0;
  bool FEnded = false;
};

// Collects output chunks and writes them a stage at a time. Every way out of
// a file operation flushes first, so that the output holds exactly the
// chunks a chunk-by-chunk loop would have written before the failure.
class TChunkWriter {
 public:
  explicit TChunkWriter(TFileRec& Out) : FOut(Out), FStage(kStage + TQuorin::BlockSize) {}

  bool Put(const std::uint8_t* Data, std::int32_t Count) {
    if (FUsed + Count > kStage + static_cast<std::int32_t>(TQuorin::BlockSize) && !Flush())
      return false;
    std::memcpy(FStage.Data() + FUsed, Data, static_cast<std::size_t>(Count));
    FUsed += Count;
    return true;
  }

  // Writes what was collected; false for a short write. A failing write
  // raises EInOutError, as the chunk's own write would have.
  bool Flush() {
    if (FUsed == 0) return true;
    std::int32_t written = 0;
    BlockWrite(FOut, FStage.Data(), FUsed, written);
    const bool whole = written == FUsed;
    FUsed = 0;
    IOTest();
    return whole;
  }

 private:
  TFileRec& FOut;
  TStage FStage;
  std::int32_t FUsed = 0;
};

// The file loop shared by both directions: each chunk is read into Buffer,
// handed to Step (which transforms it in place and may shorten it, or
// returns a status to stop), and collected for the output. The output is
// flushed however the loop ends: after a status code (a failing flush then
// reports instead, having come first in the file's order), or with an
// exception in flight (a failing flush's own exception then takes its place,
// for the same reason). The files are closed only when all went well.
template <class Step>
std::int32_t PumpFile(TInput& In, TFileRec& Out, std::uint8_t* Buffer, Step TransformChunk) {
  TChunkReader reader(In);
  TChunkWriter writer(Out);
  std::int32_t status = TStatus::Ok;
  try {
    for (bool atEnd = false; !atEnd && status == TStatus::Ok;) {
      std::int32_t n = reader.Next(Buffer, atEnd);
      status = TransformChunk(n, atEnd);
      if (status == TStatus::Ok && !writer.Put(Buffer, n)) status = TStatus::FileError;
    }
  } catch (...) {
    writer.Flush();
    throw;
  }
  if (!writer.Flush()) return TStatus::FileError;
  return status;
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

  const std::int32_t result = PumpFile(in, out, FBuffer.data(), [&](std::int32_t& n, bool atEnd) {
    if (atEnd) n = padding::Pad(FBuffer.data(), n);
    return EncryptBuffer(n);
  });
  if (result != TStatus::Ok) return result;
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

  const std::int32_t result = PumpFile(in, out, FBuffer.data(), [&](std::int32_t& n, bool atEnd) {
    // The size was checked, but the file may have changed since.
    if (n == 0 || n % static_cast<std::int32_t>(BlockSize) != 0) return TStatus::BadCiphertext;
    if (const std::int32_t status = DecryptBuffer(n); status != TStatus::Ok) return status;
    if (atEnd) {
      const std::int32_t drop = FBuffer[static_cast<std::size_t>(n - 1)];
      if (drop > n) return TStatus::BadPadding;
      n -= drop;
    }
    return TStatus::Ok;
  });
  if (result != TStatus::Ok) return result;
  CloseBoth(in.Rec, out);
  return TStatus::Ok;
}

}  // namespace QUORIN_PACKAGE_NAMESPACE
}  // namespace Rc6
