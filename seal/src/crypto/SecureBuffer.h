// A buffer for keys, in the platform's secret memory (guarded, locked where
// the system allows, wiped when freed). Making one starts libsodium, for the
// primitives that will work on it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quorin::seal {

class SecureBuffer {
 public:
  explicit SecureBuffer(std::size_t size);  // throws std::bad_alloc
  SecureBuffer(SecureBuffer&& other) noexcept : data_(other.data_), size_(other.size_) {
    other.data_ = nullptr;
    other.size_ = 0;
  }
  SecureBuffer(const SecureBuffer&) = delete;
  SecureBuffer& operator=(const SecureBuffer&) = delete;
  SecureBuffer& operator=(SecureBuffer&&) = delete;
  ~SecureBuffer();

  std::uint8_t* data() { return data_; }
  const std::uint8_t* data() const { return data_; }
  std::size_t size() const { return size_; }

 private:
  std::uint8_t* data_;
  std::size_t size_;
};

}  // namespace quorin::seal
