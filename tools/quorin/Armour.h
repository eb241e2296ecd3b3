// How the tool reads radix-64 armour: spaces and line breaks are dropped (so
// wrapped text decodes), and any other character outside the alphabet is
// refused, unlike the library's DecodeString, which reads it as 0.
#pragma once

#include <string>

namespace quorin {

// The armoured text's bytes; throws CommandError naming the first character
// outside the alphabet and where it is.
std::string DecodeArmour(const std::string& text, const std::string& what);

}  // namespace quorin
