// HMAC-SHA-256, keyed once; each message starts from a copy of the keyed
// state, so one Mac may serve several threads at once. From OpenSSL's
// libcrypto where the build has it, which uses the processor's SHA
// instructions (about 1.5 GB/s here, against 0.3 for libsodium's portable
// HMAC-SHA-256), else from libsodium (openssl/ and sodium/ hold the two).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>

namespace quorin::seal {

inline constexpr std::size_t kMacBytes = 32;
using MacValue = std::array<std::uint8_t, kMacBytes>;

class Mac {
 public:
  explicit Mac(std::span<const std::uint8_t> key);  // throws SealError if the backend fails
  Mac(const Mac&) = delete;
  Mac& operator=(const Mac&) = delete;
  ~Mac();

  // The MAC of the parts laid end to end.
  MacValue Of(std::initializer_list<std::span<const std::uint8_t>> parts) const;

 private:
  friend class MacContext;
  struct State;
  static void Release(State* state);
  State* keyed_;
};

// One thread's copy of a keyed Mac, reused message after message without
// allocating (a fresh copy costs several allocations in libcrypto).
class MacContext {
 public:
  explicit MacContext(const Mac& keyed);
  MacContext(const MacContext&) = delete;
  MacContext& operator=(const MacContext&) = delete;
  ~MacContext();

  MacValue Of(std::initializer_list<std::span<const std::uint8_t>> parts);

 private:
  void* context_;  // the backend's
};

// Compares two MACs in constant time.
bool MacMatches(const MacValue& expected, const std::uint8_t* stored);

}  // namespace quorin::seal
