// How the tool writes and reads armour, as streams in constant memory, in
// two styles: the component's radix-64 (encrypt -a, encode) and a sealed
// file's base64 (seal -a), through the sealing library's armour engine.
//
// encrypt -a frames the armour for mail: a BEGIN line, lines of 64
// characters, an END line; encode writes it bare, on one line. Reading finds
// the block between the markers, wherever it sits in the text and however
// deeply it is quoted ("> "), and also takes bare armour (as EncryptString
// and encode write it, wrapped or not). Spaces and line breaks are dropped;
// any other character outside the alphabet is refused, and so is armour
// whose length or last character no encoder writes. (The library's
// DecodeString reads any character outside the alphabet as 0 and drops
// what does not make a whole byte.)
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "Files.h"
#include "quorin/seal/Armour.h"

namespace quorin {

inline constexpr const char* kArmourBegin = "-----BEGIN QUORIN MESSAGE-----";
inline constexpr const char* kArmourEnd = "-----END QUORIN MESSAGE-----";

using ArmourStyle = seal::ArmourStyle;
extern const ArmourStyle kMessageArmour;  // the component's radix-64
extern const ArmourStyle& kSealedArmour;  // standard base64, framed only

// Bytes written to it reach out as armour; Finish writes the end.
class ArmourWriter : public ByteSink {
 public:
  using Form = seal::ArmourEncoder::Form;
  ArmourWriter(ByteSink& out, Form form, const ArmourStyle& style = kMessageArmour);
  void Write(const std::uint8_t* data, std::size_t count) override;
  void Finish();

 private:
  ByteSink& out_;
  seal::ArmourEncoder encoder_;
  std::string text_;
};

// The bytes of the armoured text that in yields. Throws CommandError naming
// `what`, the problem and where it is.
class ArmourReader : public ByteSource {
 public:
  // chunk: how much text is read at a time (smaller in tests, to cross
  // chunk boundaries everywhere).
  ArmourReader(ByteSource& in, std::string what, std::size_t chunk = 1 << 16,
               const ArmourStyle& style = kMessageArmour);
  std::size_t Read(std::uint8_t* buffer, std::size_t count) override;

 private:
  ByteSource& in_;
  seal::ArmourDecoder decoder_;
  std::size_t chunk_;
  std::string text_, decoded_;
  std::size_t decodedAt_ = 0;
  bool finished_ = false;
};

// Whole texts, for callers that hold one: bytes as encrypt -a frames them.
std::string FramedArmour(const std::string& bytes);
std::string DecodeArmour(const std::string& text, const std::string& what);

}  // namespace quorin
