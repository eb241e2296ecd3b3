// WebAssembly has one linear memory and no pages to map: the heap it is.
#include <new>

#include "quorin/platform/LargeBuffer.h"

namespace quorin::platform {

LargeBuffer::LargeBuffer(std::size_t size)
    : data_(new std::uint8_t[size > 0 ? size : 1]), size_(size), mapped_(size) {}

LargeBuffer::~LargeBuffer() {
  static_cast<void>(mapped_);  // the POSIX build's: the same header serves both
  delete[] data_;
}

}  // namespace quorin::platform
