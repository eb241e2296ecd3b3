#include <windows.h>

#include <bitset>
#include <thread>

#include "quorin/platform/Cores.h"

namespace quorin::platform {

unsigned UsableCores() noexcept {
  DWORD_PTR process = 0, system = 0;
  if (GetProcessAffinityMask(GetCurrentProcess(), &process, &system) != 0 && process != 0)
    return static_cast<unsigned>(std::bitset<sizeof(DWORD_PTR) * 8>(process).count());
  const unsigned n = std::thread::hardware_concurrency();
  return n > 0 ? n : 1;
}

}  // namespace quorin::platform
