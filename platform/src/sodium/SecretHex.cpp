#include "quorin/platform/SecretHex.h"

#include <cctype>

#include "Sodium.h"

namespace quorin::platform {

HexDecoded DecodeSecretHex(std::string_view hex) {
  StartSodium();
  HexDecoded out;
  out.bytes.resize(hex.size() / 2);
  std::size_t length = 0;
  const char* end = nullptr;
  const int status = sodium_hex2bin(out.bytes.data(), out.bytes.size(), hex.data(), hex.size(),
                                    nullptr, &length, &end);
  std::size_t read = static_cast<std::size_t>(end - hex.data());
  if (status != 0 || read != hex.size()) {
    // The decoder stops at the pair that holds the bad character. Only this
    // refusal looks at a digit's value.
    if (read < hex.size() && std::isxdigit(static_cast<unsigned char>(hex[read])) != 0) ++read;
    out.bytes.clear();
    out.badDigit = read + 1;
  }
  return out;
}

}  // namespace quorin::platform
