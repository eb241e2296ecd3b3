// What every HMAC-SHA-256 backend shares.
#include "crypto/Mac.h"

#include <sodium.h>

namespace quorin::seal {

MacValue Mac::Of(std::initializer_list<std::span<const std::uint8_t>> parts) const {
  return MacContext(*this).Of(parts);
}

bool MacMatches(const MacValue& expected, const std::uint8_t* stored) {
  return crypto_verify_32(expected.data(), stored) == 0;
}

}  // namespace quorin::seal
