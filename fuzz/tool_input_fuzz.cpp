// Fuzzes what the quorin tool parses from its user, in-process: hex keys and
// IVs and radix-64 armour (the command line has a fuzzer of its own). Each either
// gives the documented result or a usage/command error, and never faults.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "Armour.h"
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
  } catch (const quorin::UsageError&) {
    if (valid) std::abort();
  }
}

void FuzzArmour(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::string clean;
  bool valid = true;
  for (const char c : text) {
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') continue;
    valid = valid && (std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '+' || c == '-');
    clean += c;
  }
  // Framed armour takes only the lines between the markers: then the
  // outcome is checked for faults alone.
  const bool framed = text.find(quorin::kArmourBegin) != std::string::npos;
  try {
    const std::string bytes = quorin::DecodeArmour(text, "the input");
    if (!framed && (!valid || bytes.size() != clean.size() * 3 / 4)) std::abort();
    if (framed &&
        bytes != quorin::DecodeArmour(
                     quorin::FrameArmour(Rc6::TQuorin(nullptr).EncodeString(bytes)), "again"))
      std::abort();
  } catch (const quorin::CommandError&) {
    if (valid && !framed) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  if (data[0] % 2 == 0)
    FuzzHex(data + 1, size - 1);
  else
    FuzzArmour(data + 1, size - 1);
  return 0;
}
