// Fuzzes what the quorin tool parses from its user, in-process: hex keys
// and IVs (the command line and the armour have fuzzers of their own): the
// documented result or a usage error, never a fault.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "Errors.h"
#include "KeyMaterial.h"
#include "quorin/Rc6.h"

namespace {

bool IsHex(std::uint8_t c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

void FuzzHex(const std::uint8_t* data, std::size_t size) {
  const quorin::SecretBytes hex(data, data + size);
  bool valid = size > 0 && size % 2 == 0;
  for (std::size_t i = 0; i < size; ++i) valid = valid && IsHex(data[i]);
  try {
    const quorin::SecretBytes bytes = quorin::ParseHex(hex, "--key-hex");
    if (!valid || bytes.size() != size / 2) std::abort();
    for (std::size_t i = 0; i < bytes.size(); ++i)
      if (bytes[i] != std::stoi(std::string(data + 2 * i, data + 2 * i + 2), nullptr, 16))
        std::abort();
  } catch (const quorin::UsageError&) {
    if (valid) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzHex(data, size);
  return 0;
}
