// Hexadecimal text of a secret (a key typed as digits) to its bytes, in time
// that does not depend on the digits' values.
#pragma once

#include <cstddef>
#include <string_view>

#include "quorin/platform/SecretMemory.h"

namespace quorin::platform {

struct HexDecoded {
  SecretBytes bytes;
  // The 1-based position of the first character that is not a hex digit,
  // or 0 when all were digits.
  std::size_t badDigit = 0;
};

// Decodes an even number of hex digits (either case). The caller checks the
// length, which is no secret.
HexDecoded DecodeSecretHex(std::string_view hex);

}  // namespace quorin::platform
