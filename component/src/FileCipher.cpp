// File encryption and decryption through the framework's typed-file calls:
// 4096-byte chunks (the last through the work buffer), moved to and from the
// files a stage of up to 256 chunks at a time, on a thread of their own for
// larger files.
//
// Exceptions are caught only while binding the names and creating the output
// (status -5); every other I/O failure leaves as framework::EInOutError. The
// file records close their descriptors when they go out of scope, so every
// path, status code or exception, closes what it opened.
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>
#include <filesystem>
#include <memory>

#include "FileWorker.h"
#include "Padding.h"
#include "TwoCores.h"
#include "quorin/Rc6.h"
#include "quorin/framework/SysUtils.h"
#include "quorin/framework/TypedFile.h"
#include "quorin/platform/Wipe.h"

namespace Rc6 {
inline namespace QUORIN_PACKAGE_NAMESPACE {
namespace {

using namespace framework;

constexpr auto kChunk = static_cast<std::int32_t>(TQuorin::ChunkSize);

// Whether the two names denote one file: the same name, or another path (a
// link, "./", "..") to the same device and inode.
// (On Windows, the volume and the file index.) Names are UTF-8.
bool SameFile(const std::string& InFile, const std::string& OutFile) {
  if (InFile == OutFile) return true;
  const auto path = [](const std::string& name) {
    return std::filesystem::path(
        std::u8string_view(reinterpret_cast<const char8_t*>(name.data()), name.size()));
  };
  std::error_code unknown;  // a name that cannot be examined is not the other file
  return std::filesystem::equivalent(path(InFile), path(OutFile), unknown);
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

// The input of a file operation, and its size when it was opened.
struct TInput {
  TFileRec Rec;
  std::int64_t Size = 0;
};

// The files move through staging buffers, up to 256 chunks (1 MiB) at a
// time, while the work buffer still sees 4096-byte chunks. A smaller file
// gets buffers of its own size, whole chunks. The buffers may hold plaintext
// and are wiped when the call ends.
constexpr std::int32_t kLargestStage = 256 * kChunk;

std::int32_t StageFor(std::int64_t FileSize) {
  const std::int64_t chunks = std::max<std::int64_t>(1, (FileSize + kChunk - 1) / kChunk);
  return static_cast<std::int32_t>(std::min<std::int64_t>(chunks * kChunk, kLargestStage));
}

using detail::TFileWorker;
using detail::TStageIo;

// A staging buffer and its whole-stage transfer of File: a read asks for the
// whole buffer, a write takes the Count set when it is handed over. The
// transfer is waited on before the buffer is wiped and freed.
class TStage {
 public:
  TStage(TFileWorker& Worker, TStageIo::TKind Kind, TFileRec& File, std::int32_t Size)
      : FWorker(Worker),
        FData(new std::uint8_t[static_cast<std::size_t>(Size)]),
        FSize(static_cast<std::size_t>(Size)) {
    Io.Kind = Kind;
    Io.File = &File;
    Io.Data = FData.get();
    Io.Count = Kind == TStageIo::TKind::Read ? Size : 0;
  }
  ~TStage() {
    FWorker.Wait(Io);
    quorin::platform::Wipe(FData.get(), FSize);
  }
  TStage(const TStage&) = delete;
  TStage& operator=(const TStage&) = delete;
  std::uint8_t* Data() { return FData.get(); }

  TStageIo Io;

 private:
  TFileWorker& FWorker;
  std::unique_ptr<std::uint8_t[]> FData;
  std::size_t FSize;
};

// Hands out the input chunk by chunk and says which chunk is the last. Two
// stages take turns: while one is handed out, the next is being read. The
// end is where a read comes back short (the read after a full stage may
// come back empty), so a file that grew since it was opened is read on. The
// chunk found at the end is the one that gets the padding.
class TChunkReader {
 public:
  TChunkReader(TFileRec& In, std::int32_t Stage, TFileWorker& Worker)
      : FWorker(Worker),
        FStages{TStage(Worker, TStageIo::TKind::Read, In, Stage),
                TStage(Worker, TStageIo::TKind::Read, In, Stage)},
        FStage(Stage) {
    FWorker.Submit(FStages[0].Io);
  }

  // Whether the next call moves to the other stage, and so lets the stage
  // handed out so far be read into again.
  bool Advances() const { return FAt == FHave && !FEnded; }

  // The next chunk, where it lies in its stage; valid until the stage is
  // read into again.
  const std::uint8_t* Next(std::int32_t& Count, bool& AtEnd) {
    if (FAt == FHave && !FEnded) Advance();
    const std::uint8_t* chunk = FStages[FCur].Data() + FAt;
    Count = std::min(kChunk, FHave - FAt);
    FAt += Count;
    AtEnd = FAt == FHave && (FEnded || NextIsEmpty());
    return chunk;
  }

 private:
  // Makes the stage read ahead the current one; when it came back full, the
  // stage just handed out is free for the read after it.
  void Advance() {
    FCur = 1 - FCur;
    const TStageIo& io = Settle(FCur);
    FHave = io.Done;
    FAt = 0;
    FEnded = FHave < FStage;
    if (!FEnded) FWorker.Submit(FStages[1 - FCur].Io);
  }
  bool NextIsEmpty() {
    FEnded = Settle(1 - FCur).Done == 0;
    return FEnded;
  }
  const TStageIo& Settle(std::size_t k) {
    const TStageIo& io = FStages[k].Io;
    FWorker.Wait(FStages[k].Io);
    if (io.Error) std::rethrow_exception(io.Error);
    return io;
  }

  TFileWorker& FWorker;
  TStage FStages[2];
  std::int32_t FStage;
  std::size_t FCur = 1;  // the first Advance takes stage 0
  std::int32_t FHave = 0, FAt = 0;
  bool FEnded = false;
};

// Collects output chunks a stage at a time; two stages take turns, one
// collecting while the other is being written. A stage is reused only once
// its write is known whole, and writes are checked in the order they were
// made. Every way out of a file operation flushes first, so that the output
// holds exactly the chunks a chunk-by-chunk loop would have written before
// the failure.
class TChunkWriter {
 public:
  TChunkWriter(TFileRec& Out, std::int32_t Stage, TFileWorker& Worker)
      : FWorker(Worker),
        FCapacity(Stage + static_cast<std::int32_t>(TQuorin::BlockSize)),  // room for the padding
        FStages{TStage(Worker, TStageIo::TKind::Write, Out, FCapacity),
                TStage(Worker, TStageIo::TKind::Write, Out, FCapacity)} {}

  // Whether Count more bytes fit the stage being collected, without handing
  // it over to be written.
  bool Fits(std::int32_t Count) const { return FUsed + Count <= FCapacity; }

  // Room for Count bytes in the stage being collected, which is handed over
  // first if it has not that much left; false for a short write.
  bool Reserve(std::int32_t Count, std::uint8_t*& Room) {
    if (FUsed + Count > FCapacity && !HandOver()) return false;
    Room = FStages[FCur].Data() + FUsed;
    return true;
  }
  // Count bytes were placed in the room reserved.
  void Commit(std::int32_t Count) { FUsed += Count; }

  // Writes what was collected and waits for every write; false for a short
  // write. A failing write raises EInOutError, as the chunk's own write
  // would have.
  bool Flush() {
    if (!HandOver()) return false;
    return Settle(1 - FCur);
  }

 private:
  // Has the collected bytes written, and takes the other stage once its
  // earlier write is settled.
  bool HandOver() {
    if (FUsed > 0) {
      FStages[FCur].Io.Count = FUsed;
      FWorker.Submit(FStages[FCur].Io);
      FWritten[FCur] = true;
      FCur = 1 - FCur;
      FUsed = 0;
    }
    return Settle(FCur);
  }
  bool Settle(std::size_t k) {
    if (!FWritten[k]) return true;
    TStageIo& io = FStages[k].Io;
    FWorker.Wait(io);
    FWritten[k] = false;
    if (io.Error) std::rethrow_exception(io.Error);
    return io.Done == io.Count;
  }

  TFileWorker& FWorker;
  std::int32_t FCapacity;
  TStage FStages[2];
  bool FWritten[2] = {false, false};  // submitted, result not yet looked at
  std::size_t FCur = 0;
  std::int32_t FUsed = 0;
};

// Whole chunks taken from the input and placed in the output but not yet
// transformed: consecutive chunks lie end to end in both stages, so they are
// transformed as one run (split over two cores where the mode allows) once
// the run ends: before either stage is reused, before the last chunk, and
// before anything leaves the loop.
template <class MiddleStep>
class TPendingRun {
 public:
  explicit TPendingRun(MiddleStep& Middle) : FMiddle(Middle) {}
  void Add(const std::uint8_t* In, std::uint8_t* Out, std::int32_t Count) {
    if (FCount > 0 && (In != FIn + FCount || Out != FOut + FCount)) Settle();
    if (FCount == 0) FIn = In, FOut = Out;
    FCount += Count;
  }
  void Settle() {
    if (FCount > 0) FMiddle(FIn, FOut, FCount);
    FCount = 0;
  }

 private:
  MiddleStep& FMiddle;
  const std::uint8_t* FIn = nullptr;
  std::uint8_t* FOut = nullptr;
  std::int32_t FCount = 0;
};

// The file loop shared by both directions. Every chunk but the last is whole
// and needs no check: Middle transforms runs of them straight from the
// input's stage into the output's. The last goes through the work buffer,
// where Last transforms it in place and may shorten it, or returns a status
// to stop; the chunk before it is put there first, so that the buffer ends
// as a chunk-by-chunk loop leaves it. A file of more than one stage has its
// reads and writes done on a thread of their own, overlapping the cipher
// work. The output is flushed however the loop ends: after a status code (a
// failing flush then reports instead, having come first in the file's
// order), or with an exception in flight (a failing flush's own exception
// then takes its place, for the same reason). The files are closed only when
// all went well.
template <class MiddleStep, class LastStep>
std::int32_t PumpFile(TInput& In, TFileRec& Out, std::uint8_t* Buffer, MiddleStep Middle,
                      LastStep Last) {
  const std::int32_t stage = StageFor(In.Size);
  TFileWorker worker(In.Size > stage);
  TChunkReader reader(In.Rec, stage, worker);
  TChunkWriter writer(Out, stage, worker);
  TPendingRun<MiddleStep> run(Middle);
  std::int32_t status = TStatus::Ok;
  try {
    const std::uint8_t* previous = nullptr;  // the chunk before, as transformed
    for (bool atEnd = false; !atEnd;) {
      if (reader.Advances()) run.Settle();
      std::int32_t n = 0;
      const std::uint8_t* chunk = reader.Next(n, atEnd);
      if (atEnd) {
        run.Settle();
        if (previous != nullptr) std::memcpy(Buffer, previous, static_cast<std::size_t>(kChunk));
        std::memcpy(Buffer, chunk, static_cast<std::size_t>(n));
        if (status = Last(n); status != TStatus::Ok) break;
        chunk = Buffer;
      }
      if (!writer.Fits(n)) run.Settle();
      std::uint8_t* room = nullptr;
      if (!writer.Reserve(n, room)) {
        status = TStatus::FileError;
        break;
      }
      if (atEnd)
        std::memcpy(room, chunk, static_cast<std::size_t>(n));
      else
        run.Add(chunk, room, n);
      writer.Commit(n);
      previous = room;
    }
  } catch (...) {
    run.Settle();
    writer.Flush();
    throw;
  }
  run.Settle();
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

  detail::TSecondCore helper(in.Size >= detail::kTwoCoresFrom && SplitsBlocks(true));
  const std::int32_t result = PumpFile(
      in, out, FBuffer.data(),
      [this, &helper](const std::uint8_t* chunk, std::uint8_t* into, std::int32_t n) {
        TransformBlocksSplit(true, chunk, into, static_cast<std::size_t>(n) / BlockSize, helper);
      },
      [this](std::int32_t& n) {
        n = padding::Pad(FBuffer.data(), n);
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

  detail::TSecondCore helper(in.Size >= detail::kTwoCoresFrom && SplitsBlocks(false));
  const std::int32_t result = PumpFile(
      in, out, FBuffer.data(),
      [this, &helper](const std::uint8_t* chunk, std::uint8_t* into, std::int32_t n) {
        TransformBlocksSplit(false, chunk, into, static_cast<std::size_t>(n) / BlockSize, helper);
      },
      [this](std::int32_t& n) {
        // The size was checked, but the file may have changed since.
        if (n == 0 || n % static_cast<std::int32_t>(BlockSize) != 0) return TStatus::BadCiphertext;
        if (const std::int32_t status = DecryptBuffer(n); status != TStatus::Ok) return status;
        const std::int32_t drop = FBuffer[static_cast<std::size_t>(n - 1)];
        if (drop > n) return TStatus::BadPadding;
        n -= drop;
        return TStatus::Ok;
      });
  if (result != TStatus::Ok) return result;
  CloseBoth(in.Rec, out);
  return TStatus::Ok;
}

}  // namespace QUORIN_PACKAGE_NAMESPACE
}  // namespace Rc6
