// Windows gives a new thread the process's mask, not its creator's: the
// process is confined while the object lives.
#include "quorin/platform/OneCore.h"

#include <windows.h>

#include <cstring>

namespace quorin::platform {

OneCore::OneCore() {
  DWORD_PTR process = 0, system = 0;
  GetProcessAffinityMask(GetCurrentProcess(), &process, &system);
  std::memcpy(saved_, &process, sizeof process);
  const DWORD_PTR first = process & (~process + 1);
  SetProcessAffinityMask(GetCurrentProcess(), first != 0 ? first : 1);
}

OneCore::~OneCore() {
  DWORD_PTR before = 0;
  std::memcpy(&before, saved_, sizeof before);
  SetProcessAffinityMask(GetCurrentProcess(), before);
}

}  // namespace quorin::platform
