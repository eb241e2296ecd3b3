// Memory for secrets (keys, passphrases, what is derived from them), through
// libsodium: guarded by inaccessible pages, locked where the system allows
// (so that it never reaches the swap), and wiped when freed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <vector>

namespace quorin::platform {

// Throws std::bad_alloc.
void* AllocateSecret(std::size_t size);
// Wipes, unlocks and frees; null is allowed.
void FreeSecret(void* data) noexcept;
// For secrets in memory of another kind (an object on the heap): locks its
// pages where the system allows, without an error if it does not, and
// unlocks them (without wiping: the object wipes its own secrets).
void LockSecret(const void* data, std::size_t size) noexcept;
void UnlockSecret(const void* data, std::size_t size) noexcept;
// Keeps the process out of core dumps and away from ptrace by other users'
// processes for the rest of its life.
void KeepSecretsOutOfCoreDumps() noexcept;

template <class T>
struct SecretAllocator {
  using value_type = T;
  SecretAllocator() = default;
  template <class U>
  SecretAllocator(const SecretAllocator<U>&) noexcept {}

  T* allocate(std::size_t n) {
    if (n > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_alloc();
    return static_cast<T*>(AllocateSecret(n * sizeof(T)));
  }
  void deallocate(T* p, std::size_t) noexcept { FreeSecret(p); }
  template <class U>
  bool operator==(const SecretAllocator<U>&) const noexcept {
    return true;
  }
};

// Secret bytes. A vector has no small-buffer storage, so every byte lives in
// secret memory.
using SecretBytes = std::vector<std::uint8_t, SecretAllocator<std::uint8_t>>;

}  // namespace quorin::platform
