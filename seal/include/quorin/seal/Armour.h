// The text form of a sealed file, for mail and for anything that carries
// text only: standard base64 between a BEGIN and an END line.
//
//   -----BEGIN QUORIN SEALED FILE-----
//   UVVPUlNFQUwCAAEAAAEBAAAAAQAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAEASAAC...
//   -----END QUORIN SEALED FILE-----
//
// Lines of 64 characters (the last may be shorter), '=' padding, each line
// ending in "\n", the END line too. Written by SealStream, SealFile and
// IncrementalSealer when SealOptions::armour is set; every opener detects
// it: input that does not start with the binary magic is read as text.
//
// Reading finds the block between the markers wherever it sits in the text
// and however deeply it is quoted ("> "); spaces, tabs and "\r" are dropped,
// and so is a UTF-8 byte-order mark at the start. Refused (BadArmourError):
// any other character outside the alphabet inside the block, a second
// BEGIN line, a BEGIN line without an END line, a second block, a length
// that is not a multiple of four, characters after '=', and a last
// character carrying bits an encoder leaves zero. Text with no BEGIN line
// is not a sealed file (NotSealedError).
//
// The same engine serves other radix-64 styles (a caller's alphabet and
// markers, and text without markers), through ArmourStyle.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "quorin/framework/Stream.h"
#include "quorin/seal/Errors.h"

namespace quorin::seal {

inline constexpr std::string_view kArmourBegin = "-----BEGIN QUORIN SEALED FILE-----";
inline constexpr std::string_view kArmourEnd = "-----END QUORIN SEALED FILE-----";
inline constexpr std::size_t kArmourLineLength = 64;

// One radix-64 text form.
struct ArmourStyle {
  std::string_view begin, end;  // the marker lines
  std::string_view alphabet;    // 64 characters, value order
  bool padded;                  // '=' fills the last group of four (standard base64)
  bool bareAllowed;             // text without markers may be armour
  // What no BEGIN line means when bare armour is not allowed.
  std::string_view withoutBegin;
  // Whole groups of three bytes to text (any bytes at the end), and groups
  // of four characters back, appended; decode returns false for invalid text.
  std::string (*encode)(std::string_view bytes);
  bool (*decode)(std::string_view text, std::string& bytes);
};

// A sealed file's armour: standard base64, framed only.
QUORIN_SEAL_API const ArmourStyle& SealedArmour();

// Bytes in, text out, in constant memory.
class QUORIN_SEAL_API ArmourEncoder {
 public:
  enum class Form { Bare, Framed };
  explicit ArmourEncoder(Form form = Form::Framed, const ArmourStyle& style = SealedArmour());
  // Appends the text of these bytes to `text` (the BEGIN line first).
  void Update(std::span<const std::uint8_t> bytes, std::string& text);
  // Appends the rest: the last group, the final line end, the END line.
  void Finish(std::string& text);
  // The most text Update(n bytes) and then Finish append, at any point.
  static std::size_t MostText(std::size_t bytes);

 private:
  Form form_;
  const ArmourStyle* style_;
  std::uint8_t pending_[3] = {};
  std::size_t pendingSize_ = 0, column_ = 0;
  bool begun_ = false;
};

// Text in, bytes out, in constant memory (with a bare style, up to 64 KiB
// of text is held until it is clear whether it is bare armour).
class QUORIN_SEAL_API ArmourDecoder {
 public:
  // `name` starts every message ("'notes.qsl' has a second BEGIN line ...").
  explicit ArmourDecoder(std::string name, const ArmourStyle& style = SealedArmour());
  ~ArmourDecoder();
  ArmourDecoder(const ArmourDecoder&) = delete;
  ArmourDecoder& operator=(const ArmourDecoder&) = delete;
  // Appends to `bytes` what the text decodes to so far.
  void Update(std::span<const std::uint8_t> text, std::string& bytes);
  // Ends the text: throws for armour that is incomplete or absent.
  void Finish(std::string& bytes);
  // How much text is held back, undecoded.
  std::size_t Held() const;

 private:
  struct Parser;
  std::unique_ptr<Parser> parser_;
};

// Whole texts.
QUORIN_SEAL_API std::string ArmourText(std::span<const std::uint8_t> bytes);
QUORIN_SEAL_API std::string ArmouredBytes(std::string_view text,
                                          const std::string& name = "the input");

// Whether the first bytes of an input (at least 8, or all there are) make a
// binary sealed file rather than text to be read as armour.
QUORIN_SEAL_API bool BeginsBinary(std::span<const std::uint8_t> lead);

}  // namespace quorin::seal
