// How the tool writes and reads radix-64 armour.
//
// encrypt -a frames the armour for mail: a BEGIN line, lines of 64
// characters, an END line. Reading finds the block between the markers,
// wherever it sits in the text and however deeply it is quoted ("> "), and
// also takes bare armour (one line, as EncryptString writes it). Spaces and
// line breaks are dropped; any other character outside the alphabet is
// refused, unlike the library's DecodeString, which reads it as 0.
#pragma once

#include <string>

namespace quorin {

inline constexpr const char* kArmourBegin = "-----BEGIN QUORIN MESSAGE-----";
inline constexpr const char* kArmourEnd = "-----END QUORIN MESSAGE-----";

// The armour text between the markers, in lines of 64 characters.
std::string FrameArmour(const std::string& armour);

// The armoured text's bytes; throws CommandError naming the first character
// outside the alphabet and where it is, or a BEGIN line without its END.
std::string DecodeArmour(const std::string& text, const std::string& what);

}  // namespace quorin
