#include "SecondCore.h"

#include <system_error>

#include "quorin/platform/Cores.h"
#include "quorin/platform/Threads.h"

namespace Rc6::detail {

TSecondCore::TSecondCore(bool Wanted) {
  if (!Wanted || quorin::platform::UsableCores() < 2) return;
  try {
    FThread = quorin::platform::StartQuietThread([this] { Loop(); });
  } catch (const std::system_error&) {
    // No thread to be had: every run stays on the caller's.
  }
}

TSecondCore::~TSecondCore() {
  if (!FThread.joinable()) return;
  {
    std::lock_guard<std::mutex> hold(FLock);
    FStopping = true;
  }
  FChanged.notify_all();
  FThread.join();
}

void TSecondCore::Start(void (*Head)(void*) noexcept, void* Context) {
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

void TSecondCore::Finish() {
  if (!FThread.joinable()) return;
  std::unique_lock<std::mutex> hold(FLock);
  FChanged.wait(hold, [this] { return FTask == nullptr; });
}

void TSecondCore::Loop() {
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

}  // namespace Rc6::detail
