#include <windows.h>

#include <new>

#include "quorin/platform/LargeBuffer.h"

namespace quorin::platform {

// Large pages on Windows need a privilege ordinary accounts lack
// (SeLockMemoryPrivilege), so the buffer takes ordinary committed pages;
// VirtualAlloc hands them out zeroed and faults them in on first touch.
LargeBuffer::LargeBuffer(std::size_t size)
    : data_(nullptr), size_(size), mapped_(size > 0 ? size : 1) {
  data_ = static_cast<std::uint8_t*>(
      VirtualAlloc(nullptr, mapped_, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
  if (data_ == nullptr) throw std::bad_alloc();
}

LargeBuffer::~LargeBuffer() {
  VirtualFree(data_, 0, MEM_RELEASE);
}

}  // namespace quorin::platform
