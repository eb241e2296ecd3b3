#include "quorin/platform/SecretMemory.h"

#include "Sodium.h"

namespace quorin::platform {

void* AllocateSecret(std::size_t size) {
  StartSodium();
  // sodium_malloc(0) would still map a guarded page; one byte keeps the pointer valid.
  void* data = sodium_malloc(size == 0 ? 1 : size);
  if (data == nullptr) throw std::bad_alloc();
  return data;
}

void FreeSecret(void* data) noexcept {
  sodium_free(data);
}

void LockSecret(const void* data, std::size_t size) noexcept {
  if (data != nullptr && size != 0) (void)sodium_mlock(const_cast<void*>(data), size);
}

}  // namespace quorin::platform
