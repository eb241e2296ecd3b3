// Whole-stage reads and writes of a file operation, run in the order given,
// on a thread of their own so that the I/O of one stage overlaps the cipher
// work on the next.
#pragma once

#include <array>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <mutex>
#include <thread>

#include "quorin/framework/TypedFile.h"

namespace Rc6::detail {

// One read or write of a stage. Done counts the bytes moved; Error holds the
// exception the transfer raised. A transfer skipped after an earlier failure
// moves nothing and has no error of its own.
struct TStageIo {
  enum class TKind { Read, Write };
  TKind Kind = TKind::Read;
  framework::TFileRec* File = nullptr;
  std::uint8_t* Data = nullptr;
  std::int32_t Count = 0;
  std::int32_t Done = 0;
  std::exception_ptr Error;
  bool Pending = false;  // submitted and not yet run
};

// Runs submitted transfers strictly in order, so the system sees the same
// calls in the same order as a loop doing them itself. A failed or short
// write stops every later transfer (nothing may follow a gap in the
// output); a failed read stops later reads only, so that what was already
// transformed is still written. Without a thread of its own (a small file, or
// none to be had) each transfer runs at once on the caller's.
class TFileWorker {
 public:
  explicit TFileWorker(bool Threaded);
  // Lets every submitted transfer run, then ends the thread.
  ~TFileWorker();
  TFileWorker(const TFileWorker&) = delete;
  TFileWorker& operator=(const TFileWorker&) = delete;

  // Io must stay in place until Wait(Io) returned or the worker is gone.
  void Submit(TStageIo& Io);
  // Returns once Io has run (or was skipped).
  void Wait(TStageIo& Io);

 private:
  static constexpr std::size_t kQueue = 4;

  void Run(TStageIo& Io) noexcept;
  void Loop();

  std::mutex FLock;
  std::condition_variable FChanged;
  std::array<TStageIo*, kQueue> FQueue{};
  std::size_t FHead = 0, FCount = 0;
  bool FStopping = false, FReadFailed = false, FWriteFailed = false;
  std::thread FThread;
};

}  // namespace Rc6::detail
