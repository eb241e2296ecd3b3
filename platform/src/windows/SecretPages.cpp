// What secret memory asks of the system directly, where libsodium has no call for it.
#include <windows.h>

#include "quorin/platform/SecretMemory.h"

namespace quorin::platform {

void UnlockSecret(const void* data, std::size_t size) noexcept {
  // Not sodium_munlock, which would zero the object's other members too.
  if (data != nullptr && size != 0) (void)::VirtualUnlock(const_cast<void*>(data), size);
}

// Windows has no switch for a process's own crash dumps; what it offers is
// to fail without Windows Error Reporting's dialog, which would offer to
// send the process's memory away.
void KeepSecretsOutOfCoreDumps() noexcept {
  ::SetErrorMode(::GetErrorMode() | SEM_NOGPFAULTERRORBOX);
}

}  // namespace quorin::platform
