// A large working buffer (megabytes), left uninitialised, in huge pages
// where the system gives them: a fresh buffer's pages are faulted in on
// first touch, and 4 KiB at a time that costs more than a megabyte of
// ciphering on some virtual machines (28 ms for 8 MiB measured on one,
// against under 1 ms in 2 MiB pages). Its size is rounded up to whole pages.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quorin::platform {

class LargeBuffer {
 public:
  explicit LargeBuffer(std::size_t size);  // throws std::bad_alloc
  LargeBuffer(const LargeBuffer&) = delete;
  LargeBuffer& operator=(const LargeBuffer&) = delete;
  ~LargeBuffer();

  std::uint8_t* data() { return data_; }
  std::size_t size() const { return size_; }  // as asked for

 private:
  std::uint8_t* data_;
  std::size_t size_, mapped_;
};

}  // namespace quorin::platform
