#include "quorin/platform/SecondCore.h"

#include <system_error>

#include "quorin/platform/Cores.h"
#include "quorin/platform/Threads.h"

namespace quorin::platform {

SecondCore::SecondCore(bool Wanted) {
  if (!Wanted || UsableCores() < 2) return;
  try {
    FThread = StartQuietThread([this] { Loop(); });
  } catch (const std::system_error&) {
    // No thread to be had: every run stays on the caller's.
  }
}

SecondCore::~SecondCore() {
  if (!FThread.joinable()) return;
  {
    std::lock_guard<std::mutex> hold(FLock);
    FStopping = true;
  }
  FChanged.notify_all();
  FThread.join();
}

void SecondCore::Start(void (*Head)(void*) noexcept, void* Context) {
  if (!FThread.joinable()) {
    Head(Context);
    return;
  }
  {
    std::lock_guard<std::mutex> hold(FLock);
    FTask = Head;
    FContext = Context;
  }
  FChanged.notify_all();
}

void SecondCore::Finish() {
  if (!FThread.joinable()) return;
  std::unique_lock<std::mutex> hold(FLock);
  FChanged.wait(hold, [this] { return FTask == nullptr; });
}

void SecondCore::Loop() {
  std::unique_lock<std::mutex> hold(FLock);
  for (;;) {
    FChanged.wait(hold, [this] { return FTask != nullptr || FStopping; });
    if (FTask == nullptr) return;
    const auto task = FTask;
    void* const context = FContext;
    hold.unlock();
    task(context);
    hold.lock();
    FTask = nullptr;
    FChanged.notify_all();
  }
}

}  // namespace quorin::platform
