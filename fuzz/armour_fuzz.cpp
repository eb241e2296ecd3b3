// Fuzzes the text armour: any text decodes without fault, and any bytes
// survive encoding and decoding unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "quorin/Rc6.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const Rc6::TQuorin armour(nullptr);
  const std::string input(reinterpret_cast<const char*>(data), size);
  const std::string decoded = armour.DecodeString(input);
  if (decoded.size() != size * 3 / 4) std::abort();
  const std::string encoded = armour.EncodeString(input);
  if (encoded.size() != (4 * size + 2) / 3) std::abort();
  if (armour.DecodeString(encoded) != input) std::abort();
  return 0;
}
