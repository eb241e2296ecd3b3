// How the tool writes and reads armour, as streams in constant memory, in
// two styles: the component's radix-64 (encrypt -a, encode) and standard
// base64 for sealed files (seal -a), which other tools decode too.
//
// encrypt -a and seal -a frame the armour for mail: a BEGIN line, lines of 64
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
#include <memory>
#include <string>
#include <string_view>

#include "Files.h"

namespace quorin {

inline constexpr const char* kArmourBegin = "-----BEGIN QUORIN MESSAGE-----";
inline constexpr const char* kArmourEnd = "-----END QUORIN MESSAGE-----";
inline constexpr const char* kSealedBegin = "-----BEGIN QUORIN SEALED FILE-----";
inline constexpr const char* kSealedEnd = "-----END QUORIN SEALED FILE-----";

struct ArmourStyle {
  const char* begin;
  const char* end;
  std::string_view alphabet;
  bool padded;       // '=' fills the last group of four (standard base64)
  bool bareAllowed;  // text without markers may be armour; else what no BEGIN line means:
  const char* withoutBegin;
  // Whole groups of three bytes to text (any bytes at the end), and whole
  // groups of four characters back; decode returns false for invalid text.
  std::string (*encode)(std::string_view bytes);
  bool (*decode)(std::string_view text, std::string& bytes);
};

extern const ArmourStyle kMessageArmour;  // the component's radix-64
extern const ArmourStyle kSealedArmour;   // standard base64, framed only

// Bytes written to it reach out as armour; Finish writes the end.
class ArmourWriter : public ByteSink {
 public:
  enum class Form { Bare, Framed };
  ArmourWriter(ByteSink& out, Form form, const ArmourStyle& style = kMessageArmour);
  void Write(const std::uint8_t* data, std::size_t count) override;
  void Finish();

 private:
  void Emit(const std::uint8_t* data, std::size_t count);

  ByteSink& out_;
  Form form_;
  const ArmourStyle& style_;
  std::string pending_;  // bytes that do not yet make a whole group of three
  std::size_t column_ = 0;
};

// The bytes of the armoured text that in yields. Throws CommandError naming
// `what`, the problem and where it is.
class ArmourReader : public ByteSource {
 public:
  // chunk: how much text is read at a time (smaller in tests, to cross
  // chunk boundaries everywhere).
  ArmourReader(ByteSource& in, std::string what, std::size_t chunk = 1 << 16,
               const ArmourStyle& style = kMessageArmour);
  ~ArmourReader() override;
  ArmourReader(const ArmourReader&) = delete;
  ArmourReader& operator=(const ArmourReader&) = delete;
  std::size_t Read(std::uint8_t* buffer, std::size_t count) override;

 private:
  struct Parser;
  ByteSource& in_;
  std::unique_ptr<Parser> parser_;
  std::size_t chunk_;
};

// Whole texts, for callers that hold one: // bytes as encrypt -a frames them.
std::string FramedArmour(const std::string& bytes);
std::string DecodeArmour(const std::string& text, const std::string& what);

}  // namespace quorin
