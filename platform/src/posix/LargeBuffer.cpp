#include "quorin/platform/LargeBuffer.h"

#include <sys/mman.h>

#include <new>

namespace quorin::platform {
namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;

std::size_t RoundUp(std::size_t n, std::size_t to) {
  return (n + to - 1) / to * to;
}

}  // namespace

LargeBuffer::LargeBuffer(std::size_t size) : data_(nullptr), size_(size), mapped_(0) {
  // Huge pages need a huge-page-aligned range: map one page more, trim both ends.
  const std::size_t want = RoundUp(size > 0 ? size : 1, kHugePage);
  void* raw =
      mmap(nullptr, want + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) throw std::bad_alloc();
  const auto start = reinterpret_cast<std::uintptr_t>(raw);
  const std::uintptr_t aligned = RoundUp(start, kHugePage);
  if (aligned > start) munmap(raw, aligned - start);
  if (const std::size_t tail = kHugePage - (aligned - start); tail > 0)
    munmap(reinterpret_cast<void*>(aligned + want), tail);
  data_ = reinterpret_cast<std::uint8_t*>(aligned);
  mapped_ = want;
#ifdef MADV_HUGEPAGE
  madvise(data_, mapped_, MADV_HUGEPAGE);  // a hint: without it, ordinary pages
#endif
}

LargeBuffer::~LargeBuffer() {
  munmap(data_, mapped_);
}

}  // namespace quorin::platform
