#include "FileWorker.h"

#include <system_error>

#include "quorin/platform/Threads.h"

namespace Rc6::detail {

TFileWorker::TFileWorker(bool Threaded) {
  if (!Threaded) return;
  try {
    FThread = quorin::platform::StartQuietThread([this] { Loop(); });
  } catch (const std::system_error&) {
    // No thread to be had: the transfers run on the caller's, as for a small file.
  }
}

TFileWorker::~TFileWorker() {
  if (!FThread.joinable()) return;
  {
    std::lock_guard<std::mutex> hold(FLock);
    FStopping = true;
  }
  FChanged.notify_all();
  FThread.join();
}

void TFileWorker::Submit(TStageIo& Io) {
  Io.Done = 0;
  Io.Error = nullptr;
  if (!FThread.joinable()) {
    Run(Io);
    return;
  }
  std::unique_lock<std::mutex> hold(FLock);
  FChanged.wait(hold, [this] { return FCount < kQueue; });
  Io.Pending = true;
  FQueue[(FHead + FCount++) % kQueue] = &Io;
  hold.unlock();
  FChanged.notify_all();
}

void TFileWorker::Wait(TStageIo& Io) {
  if (!FThread.joinable()) return;
  std::unique_lock<std::mutex> hold(FLock);
  FChanged.wait(hold, [&Io] { return !Io.Pending; });
}

void TFileWorker::Loop() {
  std::unique_lock<std::mutex> hold(FLock);
  for (;;) {
    FChanged.wait(hold, [this] { return FCount > 0 || FStopping; });
    if (FCount == 0) return;  // stopping, and all submitted work has run
    TStageIo& io = *FQueue[FHead];
    hold.unlock();
    Run(io);
    hold.lock();
    FHead = (FHead + 1) % kQueue;
    --FCount;
    io.Pending = false;
    FChanged.notify_all();
  }
}

// Runs on the worker's thread when there is one: FReadFailed and
// FWriteFailed are touched only here.
void TFileWorker::Run(TStageIo& Io) noexcept {
  const bool write = Io.Kind == TStageIo::TKind::Write;
  if (FWriteFailed || (!write && FReadFailed)) return;
  try {
    if (write)
      framework::BlockWrite(*Io.File, Io.Data, Io.Count, Io.Done);
    else
      framework::BlockRead(*Io.File, Io.Data, Io.Count, Io.Done);
    framework::IOTest();
  } catch (...) {
    Io.Error = std::current_exception();
  }
  if (write && (Io.Error || Io.Done != Io.Count)) FWriteFailed = true;
  if (!write && Io.Error) FReadFailed = true;
}

}  // namespace Rc6::detail
