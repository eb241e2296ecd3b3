// A fuzzer's input read as the choices of a call sequence: bytes, sizes up
// to a bound, and lengths near SIZE_MAX. Past its end every read is 0.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

class FuzzInput {
 public:
  FuzzInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool Empty() const { return at_ >= size_; }
  std::uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
  std::size_t Size(std::size_t most) { return (Byte() | std::size_t{Byte()} << 8) % (most + 1); }
  std::vector<std::uint8_t> Bytes(std::size_t n) {
    std::vector<std::uint8_t> out(n);
    for (auto& b : out) b = Byte();
    return out;
  }
  // A length for a size query: small, or within 300 of SIZE_MAX.
  std::size_t Length() {
    const std::size_t n = Size(300);
    return Byte() % 2 ? n : std::numeric_limits<std::size_t>::max() - n;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_, at_ = 0;
};
