// Ctrl-C, Ctrl-Break and the console's closing, logging off or shutting
// down end the process, as on POSIX their signals do, but only after the
// named temporary files of the AtomicOutputs alive are gone.
#include <windows.h>

#include <cstddef>
#include <iterator>
#include <mutex>
#include <string>

#include "TemporaryRegistry.h"
#include "quorin/platform/AtomicOutput.h"

namespace quorin::platform {
namespace {

std::mutex& Lock() {
  static std::mutex lock;
  return lock;
}
std::wstring temporaries[8];

BOOL WINAPI RemoveTemporariesAndEnd(DWORD) {
  // Held until the process ends: no output is made or put in place meanwhile.
  Lock().lock();
  for (const auto& path : temporaries)
    if (!path.empty()) ::DeleteFileW(path.c_str());
  ::ExitProcess(STATUS_CONTROL_C_EXIT);
}

}  // namespace

int RememberTemporary(const std::wstring& path) {
  for (std::size_t i = 0; i < std::size(temporaries); ++i) {
    if (temporaries[i].empty()) {
      temporaries[i] = path;
      return static_cast<int>(i);
    }
  }
  return -1;
}

void ForgetTemporary(int slot) noexcept {
  if (slot >= 0) temporaries[slot].clear();
}

TemporariesHeld::TemporariesHeld() {
  Lock().lock();
}

TemporariesHeld::~TemporariesHeld() {
  Lock().unlock();
}

void CleanUpOnSignals() {
  ::SetConsoleCtrlHandler(RemoveTemporariesAndEnd, TRUE);
}

}  // namespace quorin::platform
