// What secret memory asks of the system directly, where libsodium has no call for it.
#include <sys/mman.h>
#include <sys/prctl.h>

#include "quorin/platform/SecretMemory.h"

namespace quorin::platform {

void UnlockSecret(const void* data, std::size_t size) noexcept {
  // Not sodium_munlock, which would zero the object's other members too.
  if (data != nullptr && size != 0) (void)::munlock(data, size);
}

void KeepSecretsOutOfCoreDumps() noexcept {
  (void)::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
}

}  // namespace quorin::platform
