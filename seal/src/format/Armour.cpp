#include "quorin/seal/Armour.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>

#include <sodium.h>

#include "format/Format.h"

namespace quorin::seal {
namespace {

// Bytes encoded at a time by the whole-text helpers.
constexpr std::size_t kGroupBytes = kArmourLineLength / 4 * 3 * 64;
// How much text may be looked at before deciding that text without markers
// is bare armour.
constexpr std::size_t kLookahead = 1 << 16;
// A longer line is no marker, however it is quoted.
constexpr std::size_t kLongestMarkerLine = 256;

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r';
}

// A control character that no text, mail or editor writes.
bool IsBinary(char c) {
  const auto u = static_cast<unsigned char>(c);
  return (u < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f' && c != '\v') || u == 0x7F;
}

std::string Describe(char c) {
  const auto u = static_cast<unsigned char>(c);
  if (u >= 0x21 && u < 0x7F) return std::string("'") + c + "'";
  char hex[8];
  std::snprintf(hex, sizeof hex, "0x%02X", u);
  return std::string("the byte ") + hex;
}

// A line without its mail quoting ("> ", ">> ", "> > ") and surrounding blanks.
std::string_view Unquoted(std::string_view line) {
  while (!line.empty() && (line.front() == '>' || IsSpace(line.front()))) line.remove_prefix(1);
  while (!line.empty() && IsSpace(line.back())) line.remove_suffix(1);
  return line;
}

std::string Base64Encode(std::string_view bytes) {
  const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
  std::string text(sodium_base64_ENCODED_LEN(bytes.size(), sodium_base64_VARIANT_ORIGINAL), '\0');
  sodium_bin2base64(text.data(), text.size(), b, bytes.size(), sodium_base64_VARIANT_ORIGINAL);
  text.pop_back();  // its terminating NUL
  return text;
}

bool Base64Decode(std::string_view text, std::string& bytes) {
  const std::size_t at = bytes.size();
  bytes.resize(at + text.size() / 4 * 3);
  std::size_t length = 0;
  if (sodium_base642bin(reinterpret_cast<unsigned char*>(&bytes[at]), bytes.size() - at,
                        text.data(), text.size(), nullptr, &length, nullptr,
                        sodium_base64_VARIANT_ORIGINAL) != 0)
    return false;
  bytes.resize(at + length);
  return true;
}

const ArmourStyle kSealed{
    kArmourBegin,
    kArmourEnd,
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/",
    true,
    false,
    "is not a sealed file: it starts with neither \"QUORSEAL\" nor holds a line "
    "\"-----BEGIN QUORIN SEALED FILE-----\" (if it came from quorin encrypt, use quorin decrypt)",
    Base64Encode,
    Base64Decode};

}  // namespace

const ArmourStyle& SealedArmour() {
  return kSealed;
}

bool BeginsBinary(std::span<const std::uint8_t> lead) {
  const std::size_t n = std::min(lead.size(), format::kMagicBytes);
  return std::memcmp(lead.data(), format::kMagic, n) == 0 &&
         (n == format::kMagicBytes || lead.size() < format::kMagicBytes);
}

ArmourEncoder::ArmourEncoder(Form form, const ArmourStyle& style) : form_(form), style_(&style) {}

void ArmourEncoder::Update(std::span<const std::uint8_t> bytes, std::string& text) {
  if (form_ == Form::Framed && !begun_) text.append(style_->begin).push_back('\n');
  begun_ = true;
  // Whole groups of three bytes encode the same alone as within a longer
  // text: the pending bytes complete a group first, the rest is encoded in
  // whole groups, and fewer than three wait.
  while (!bytes.empty()) {
    std::string_view group;
    std::size_t take = 0;
    if (pendingSize_ > 0 || bytes.size() < 3) {
      take = std::min(bytes.size(), 3 - pendingSize_);
      std::memcpy(pending_ + pendingSize_, bytes.data(), take);
      pendingSize_ += take;
      if (pendingSize_ < 3) return;
      group = {reinterpret_cast<const char*>(pending_), 3};
      pendingSize_ = 0;
    } else {
      take = std::min(bytes.size() / 3 * 3, kGroupBytes);
      group = {reinterpret_cast<const char*>(bytes.data()), take};
    }
    bytes = bytes.subspan(take);
    const std::string encoded = style_->encode(group);
    if (form_ == Form::Bare) {
      text += encoded;
      continue;
    }
    // Whole lines at a time.
    for (std::string_view rest = encoded; !rest.empty();) {
      const std::size_t n = std::min(rest.size(), kArmourLineLength - column_);
      text.append(rest.substr(0, n));
      rest.remove_prefix(n);
      if ((column_ += n) == kArmourLineLength) text += '\n', column_ = 0;
    }
  }
}

void ArmourEncoder::Finish(std::string& text) {
  Update({}, text);
  const std::string last = style_->encode({reinterpret_cast<const char*>(pending_), pendingSize_});
  pendingSize_ = 0;
  if (form_ == Form::Bare) {
    text += last;
    text += '\n';
    return;
  }
  for (const char c : last) {
    text += c;
    if (++column_ == kArmourLineLength) text += '\n', column_ = 0;
  }
  if (column_ > 0) text += '\n';
  column_ = 0;
  text.append(style_->end).push_back('\n');
}

std::size_t ArmourEncoder::MostText(std::size_t bytes) {
  // Two pending bytes, groups of four characters, a line end per line, and
  // the markers.
  const std::size_t characters = (bytes / 3 + 2) * 4;
  return characters + characters / kArmourLineLength + 2 + 2 * kLongestMarkerLine;
}

struct ArmourDecoder::Parser {
  enum class State { Undecided, Seeking, Bare, Framed, Ended };

  explicit Parser(const ArmourStyle& s)
      : style(s), state(s.bareAllowed ? State::Undecided : State::Seeking) {
    for (const char c : style.alphabet) inAlphabet[static_cast<unsigned char>(c)] = true;
  }

  const ArmourStyle& style;
  std::array<bool, 256> inAlphabet{};  // looked up for every character
  std::string what;
  State state;
  bool padding = false;  // a '=' was seen: the armour has ended
  std::size_t line = 1, column = 0, beginLine = 0;
  bool holding = true;  // the line so far could be a marker
  std::string held;     // its characters, from column 1
  std::string armour;   // characters of the alphabet not yet decoded
  std::size_t armourTotal = 0;
  std::string* out = nullptr;  // where decoded bytes go, during a call
  std::string firstStray;      // in Seeking: the character that made bare armour impossible
  std::string lead;            // the input's first bytes, until a byte-order mark is ruled out
  bool started = false;

  // Takes a chunk of the input. A UTF-8 byte-order mark that starts it
  // (Windows editors write one) is passed over, and UTF-16 text refused:
  // decided on the first three bytes, however the chunks cut them.
  void Feed(const char* chunk, std::size_t size, bool last) {
    if (started) return Take(chunk, size);
    lead.append(chunk, size);
    if (lead.size() < 3 && !last) return;
    started = true;
    const std::string_view first = lead;
    if (first.starts_with("\xFF\xFE") || first.starts_with("\xFE\xFF"))
      Refuse("is UTF-16 text (as PowerShell 5.1's > writes it): save it as UTF-8");
    const std::size_t mark = first.starts_with("\xEF\xBB\xBF") ? 3 : 0;
    Take(lead.data() + mark, lead.size() - mark);
    lead.clear();
  }

  std::string Where(std::size_t atLine, std::size_t atColumn) const {
    return "line " + std::to_string(atLine) + ", column " + std::to_string(atColumn);
  }

  [[noreturn]] void Refuse(const std::string& problem) const {
    throw BadArmourError(what + " " + problem);
  }

  std::string Stray(char c, std::size_t atColumn) const {
    if (style.padded)
      return "is not base64: " + Describe(c) + " at " + Where(line, atColumn) +
             " is not in its alphabet (A-Z, a-z, 0-9, +, /, =)";
    return "is not radix-64 armour: " + Describe(c) + " at " + Where(line, atColumn) +
           " is not in its alphabet (+, -, 0-9, A-Z, a-z)";
  }

  void Take(const char* chunk, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
      const char c = chunk[i];
      // Binary input is no text that could hold a block further on: said at once.
      if (state == State::Seeking && !style.bareAllowed && IsBinary(c))
        throw NotSealedError(what + " " + std::string(style.withoutBegin));
      if (c == '\n') {
        EndLine();
        continue;
      }
      ++column;
      if (!holding) {
        Character(c, column);
      } else {
        held += c;
        if (!CouldBeMarker()) Release();
      }
    }
    if (state == State::Undecided && armour.size() > kLookahead) state = State::Bare;
    if (state == State::Bare || state == State::Framed) Decode(false);
  }

  bool CouldBeMarker() const {
    if (held.size() > kLongestMarkerLine) return false;
    std::string_view rest = held;
    while (!rest.empty() && (rest.front() == '>' || IsSpace(rest.front()))) rest.remove_prefix(1);
    for (const std::string_view marker : {style.begin, style.end}) {
      std::string_view body = rest;
      if (body.size() > marker.size()) {
        // A complete marker may be followed by blanks only.
        if (Unquoted(body.substr(marker.size())).empty()) body = body.substr(0, marker.size());
      }
      if (marker.starts_with(body)) return true;
    }
    return false;
  }

  // The held characters are no marker: they are taken as the line's start.
  void Release() {
    holding = false;
    bool quoting = state != State::Bare && state != State::Undecided;
    for (std::size_t i = 0; i < held.size(); ++i) {
      const char c = held[i];
      if (quoting && (c == '>' || IsSpace(c))) continue;
      quoting = false;
      Character(c, i + 1);
    }
    held.clear();
  }

  void Character(char c, std::size_t atColumn) {
    if (state == State::Seeking || state == State::Ended || IsSpace(c)) return;
    const bool pad = style.padded && c == '=';
    if (pad || inAlphabet[static_cast<unsigned char>(c)]) {
      if (padding && !pad) Refuse("has armour after its padding ('=') at " + Where(line, atColumn));
      padding = padding || pad;
      armour += c;
      ++armourTotal;
      return;
    }
    if (state == State::Undecided) {
      // Not bare armour, then: mail around a framed block, or no armour at all.
      state = State::Seeking;
      firstStray = Stray(c, atColumn);
      armour.clear();
      armourTotal = 0;
      return;
    }
    Refuse(Stray(c, atColumn));
  }

  void EndLine() {
    if (holding) {
      const std::string_view marker = Unquoted(held);
      if (marker == style.begin)
        Begin();
      else if (marker == style.end)
        End();
      else
        Release();
    }
    ++line;
    column = 0;
    holding = true;
    held.clear();
  }

  void Begin() {
    switch (state) {
      case State::Undecided:
      case State::Seeking:
        state = State::Framed;
        beginLine = line;
        armour.clear();
        armourTotal = 0;
        return;
      case State::Framed:
        Refuse("has a second BEGIN line (line " + std::to_string(line) +
               ") before the END line of the one at line " + std::to_string(beginLine));
      case State::Bare:
        Refuse("has a BEGIN line (line " + std::to_string(line) +
               ") after armour: decode the framed block on its own");
      case State::Ended:
        // Another armoured block after the first: refused, never ignored.
        Refuse("holds a second armoured block (BEGIN at line " + std::to_string(line) +
               ") after the END line of the first: give one at a time");
    }
  }

  void End() {
    switch (state) {
      case State::Framed:
        state = State::Ended;
        return;
      case State::Undecided:
      case State::Bare:
        Refuse("has an END line (line " + std::to_string(line) + ") but no BEGIN line before it");
      case State::Seeking:
      case State::Ended:
        return;
    }
  }

  // Decodes the whole groups of four characters (all of them at the end).
  void Decode(bool final) {
    const std::size_t n = final ? armour.size() : armour.size() / 4 * 4;
    if (n == 0) return;
    if (!style.decode(std::string_view(armour).substr(0, n), *out))
      Refuse("is not base64 as an encoder writes it (altered?)");
    armour.erase(0, n);
  }

  void Finish() {
    if (column > 0) EndLine();
    switch (state) {
      case State::Seeking:
        if (!style.bareAllowed) throw NotSealedError(what + " " + std::string(style.withoutBegin));
        Refuse(firstStray);
      case State::Framed:
        Refuse("has a BEGIN line (line " + std::to_string(beginLine) +
               ") but no END line: the armour was cut short");
      default:
        break;
    }
    if (style.padded && armourTotal % 4 != 0)
      Refuse("is not whole base64: its " + std::to_string(armourTotal) +
             " characters are not a multiple of four (the armour was cut short or altered)");
    // An encoder leaves no lone character, and zero bits after the last byte.
    const std::size_t rest = armourTotal % 4;
    if (rest == 1)
      Refuse("is not whole armour: its " + std::to_string(armourTotal) +
             " characters leave one over (the armour was cut short or altered)");
    if (rest > 1) {
      const auto last = static_cast<unsigned>(style.alphabet.find(armour.back()));
      if ((last & (rest == 2 ? 0x0Fu : 0x03u)) != 0)
        Refuse("is not armour as an encoder writes it: its last character '" +
               std::string(1, armour.back()) + "' carries bits beyond the last byte (altered?)");
    }
    Decode(true);
  }
};

ArmourDecoder::ArmourDecoder(std::string name, const ArmourStyle& style)
    : parser_(std::make_unique<Parser>(style)) {
  parser_->what = std::move(name);
}

ArmourDecoder::~ArmourDecoder() = default;

void ArmourDecoder::Update(std::span<const std::uint8_t> text, std::string& bytes) {
  parser_->out = &bytes;
  parser_->Feed(reinterpret_cast<const char*>(text.data()), text.size(), false);
}

void ArmourDecoder::Finish(std::string& bytes) {
  parser_->out = &bytes;
  parser_->Feed("", 0, true);
  parser_->Finish();
}

std::size_t ArmourDecoder::Held() const {
  return parser_->lead.size() + parser_->held.size() + parser_->armour.size();
}

std::string ArmourText(std::span<const std::uint8_t> bytes) {
  std::string text;
  ArmourEncoder encoder;
  encoder.Update(bytes, text);
  encoder.Finish(text);
  return text;
}

std::string ArmouredBytes(std::string_view text, const std::string& name) {
  std::string bytes;
  ArmourDecoder decoder(name);
  decoder.Update({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}, bytes);
  decoder.Finish(bytes);
  return bytes;
}

}  // namespace quorin::seal
