// Storage for key bytes: every buffer that ever held them is wiped before it
// is freed, and its pages are locked in memory where the system allows, so a
// key does not linger in freed heap memory or reach the swap.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <vector>

namespace quorin {

void WipeBytes(void* data, std::size_t size);
void LockBytes(const void* data, std::size_t size);  // best effort: no error if refused
void UnlockBytes(const void* data, std::size_t size);

template <class T>
struct WipingAllocator {
  using value_type = T;
  WipingAllocator() = default;
  template <class U>
  WipingAllocator(const WipingAllocator<U>&) noexcept {}

  T* allocate(std::size_t n) {
    auto* p = static_cast<T*>(::operator new(n * sizeof(T)));
    LockBytes(p, n * sizeof(T));
    return p;
  }
  void deallocate(T* p, std::size_t n) noexcept {
    WipeBytes(p, n * sizeof(T));
    UnlockBytes(p, n * sizeof(T));
    ::operator delete(p);
  }
  template <class U>
  bool operator==(const WipingAllocator<U>&) const noexcept {
    return true;
  }
};

// Key or IV bytes. A vector has no small-buffer storage, so every byte lives
// in memory that the allocator wipes.
using SecretBytes = std::vector<std::uint8_t, WipingAllocator<std::uint8_t>>;

// Keeps the process out of core dumps and away from ptrace by other users'
// processes for the rest of its life.
void ForbidCoreDumps();

}  // namespace quorin
