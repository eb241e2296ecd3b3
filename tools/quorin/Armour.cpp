#include "Armour.h"

#include <cstdio>
#include <string_view>

#include "Errors.h"
#include "quorin/Rc6.h"

namespace quorin {
namespace {

constexpr std::string_view kAlphabet =
    "+-0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string Describe(char c) {
  const auto u = static_cast<unsigned char>(c);
  if (u >= 0x21 && u < 0x7F) return std::string("'") + c + "'";
  char hex[8];
  std::snprintf(hex, sizeof hex, "0x%02X", u);
  return std::string("the byte ") + hex;
}

}  // namespace

std::string DecodeArmour(const std::string& text, const std::string& what) {
  std::string clean;
  clean.reserve(text.size());
  std::size_t line = 1, column = 0;
  for (const char c : text) {
    ++column;
    if (c == '\n') ++line, column = 0;
    if (IsSpace(c)) continue;
    if (kAlphabet.find(c) == std::string_view::npos)
      throw CommandError(what + " is not radix-64 armour: " + Describe(c) + " at line " +
                         std::to_string(line) + ", column " + std::to_string(column) +
                         " is not in its alphabet (+, -, 0-9, A-Z, a-z)");
    clean += c;
  }
  return Rc6::TQuorin(nullptr).DecodeString(clean);
}

}  // namespace quorin
