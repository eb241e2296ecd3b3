#include "Secret.h"

#include <string.h>
#include <sys/mman.h>
#include <sys/prctl.h>

namespace quorin {

void WipeBytes(void* data, std::size_t size) {
  if (data != nullptr && size != 0) ::explicit_bzero(data, size);
}

void LockBytes(const void* data, std::size_t size) {
  if (data != nullptr && size != 0) (void)::mlock(data, size);
}

void UnlockBytes(const void* data, std::size_t size) {
  if (data != nullptr && size != 0) (void)::munlock(data, size);
}

void ForbidCoreDumps() {
  (void)::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
}

}  // namespace quorin
