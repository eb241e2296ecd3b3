#include "Armour.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string_view>

#include <sodium.h>

#include "Errors.h"
#include "Pump.h"
#include "quorin/Rc6.h"

namespace quorin {
namespace {

constexpr std::size_t kLineLength = 64;
// Bytes encoded at a time: whole lines of whole groups.
constexpr std::size_t kGroupBytes = kLineLength / 4 * 3 * 64;
// How much text may be looked at before deciding that text without markers
// is bare armour.
constexpr std::size_t kLookahead = 1 << 16;
// A longer line is no marker, however it is quoted.
constexpr std::size_t kLongestMarkerLine = 256;

const Rc6::TQuorin& Codec() {
  static const Rc6::TQuorin codec(nullptr);  // the armour needs no key
  return codec;
}

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r';
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

std::string ComponentEncode(std::string_view bytes) {
  return Codec().EncodeString(std::string(bytes));
}
// The component reads any character outside its alphabet as 0: the reader
// lets none through.
bool ComponentDecode(std::string_view text, std::string& bytes) {
  bytes += Codec().DecodeString(std::string(text));
  return true;
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

}  // namespace

const ArmourStyle kMessageArmour{kArmourBegin,
                                 kArmourEnd,
                                 "+-0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz",
                                 false,
                                 true,
                                 "",
                                 ComponentEncode,
                                 ComponentDecode};
const ArmourStyle kSealedArmour{
    kSealedBegin,
    kSealedEnd,
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/",
    true,
    false,
    "is not a sealed file: it starts with neither \"QUORSEAL\" nor holds a line "
    "\"-----BEGIN QUORIN SEALED FILE-----\" (if it came from quorin encrypt, use quorin decrypt)",
    Base64Encode,
    Base64Decode};

ArmourWriter::ArmourWriter(ByteSink& out, Form form, const ArmourStyle& style)
    : out_(out), form_(form), style_(style) {
  if (form_ == Form::Framed) {
    const std::string begin = std::string(style_.begin) + "\n";
    out_.Write(reinterpret_cast<const std::uint8_t*>(begin.data()), begin.size());
  }
}

void ArmourWriter::Write(const std::uint8_t* data, std::size_t count) {
  while (count > 0) {
    const std::size_t n = std::min(count, kGroupBytes - pending_.size());
    pending_.append(reinterpret_cast<const char*>(data), n);
    data += n;
    count -= n;
    if (pending_.size() == kGroupBytes) {
      Emit(reinterpret_cast<const std::uint8_t*>(pending_.data()), pending_.size());
      pending_.clear();
    }
  }
}

// Whole groups of three bytes encode the same alone as within a longer text.
void ArmourWriter::Emit(const std::uint8_t* data, std::size_t count) {
  const std::string text = style_.encode({reinterpret_cast<const char*>(data), count});
  if (form_ == Form::Bare) {
    out_.Write(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    return;
  }
  std::string lines;
  for (const char c : text) {
    lines += c;
    if (++column_ == kLineLength) lines += '\n', column_ = 0;
  }
  out_.Write(reinterpret_cast<const std::uint8_t*>(lines.data()), lines.size());
}

void ArmourWriter::Finish() {
  Emit(reinterpret_cast<const std::uint8_t*>(pending_.data()), pending_.size());
  pending_.clear();
  std::string end = "\n";
  if (form_ == Form::Framed) end = std::string(column_ > 0 ? "\n" : "") + style_.end + "\n";
  out_.Write(reinterpret_cast<const std::uint8_t*>(end.data()), end.size());
}

// Reads the text character by character. Each line is held back while it
// could still be a BEGIN or END line, then taken as armour, as mail around
// it, or as a marker. Until a marker or a character outside the alphabet
// shows otherwise, text may be bare armour: up to kLookahead characters of
// it are kept back for that decision.
struct ArmourReader::Parser {
  enum class State { Undecided, Seeking, Bare, Framed, Ended };

  explicit Parser(const ArmourStyle& s)
      : style(s), state(s.bareAllowed ? State::Undecided : State::Seeking) {}

  const ArmourStyle& style;
  std::string what;
  State state;
  bool padding = false;  // a '=' was seen: the armour has ended
  std::size_t line = 1, column = 0, beginLine = 0;
  bool holding = true;  // the line so far could be a marker
  std::string held;     // its characters, from column 1
  std::string armour;   // characters of the alphabet not yet decoded
  std::size_t armourTotal = 0;
  std::string decoded;  // bytes not yet read
  std::size_t decodedAt = 0;
  std::string firstStray;  // in Seeking: the character that made bare armour impossible
  std::string text;        // what was last read
  std::string lead;        // the input's first bytes, until a byte-order mark is ruled out
  bool started = false, finished = false;

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
    throw CommandError(what + " " + problem);
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
    if (pad || style.alphabet.find(c) != std::string_view::npos) {
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
    if (decodedAt > 0) decoded.erase(0, decodedAt), decodedAt = 0;
    if (!style.decode(std::string_view(armour).substr(0, n), decoded))
      Refuse("is not base64 as an encoder writes it (altered?)");
    armour.erase(0, n);
  }

  void Finish() {
    finished = true;
    if (column > 0) EndLine();
    switch (state) {
      case State::Seeking:
        if (!style.bareAllowed) Refuse(style.withoutBegin);
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

ArmourReader::ArmourReader(ByteSource& in, std::string what, std::size_t chunk,
                           const ArmourStyle& style)
    : in_(in), parser_(std::make_unique<Parser>(style)), chunk_(chunk) {
  parser_->what = std::move(what);
}

ArmourReader::~ArmourReader() = default;

std::size_t ArmourReader::Read(std::uint8_t* buffer, std::size_t count) {
  Parser& p = *parser_;
  while (p.decoded.size() - p.decodedAt < count && !p.finished) {
    p.text.resize(chunk_);
    const std::size_t n = in_.Read(reinterpret_cast<std::uint8_t*>(p.text.data()), chunk_);
    const bool last = n < chunk_;  // a short read is the end of the input
    p.Feed(p.text.data(), n, last);
    if (last) p.Finish();
  }
  const std::size_t n = std::min(count, p.decoded.size() - p.decodedAt);
  std::memcpy(buffer, p.decoded.data() + p.decodedAt, n);
  p.decodedAt += n;
  return n;
}

std::string FramedArmour(const std::string& bytes) {
  std::string text;
  StringSink sink(text);
  ArmourWriter writer(sink, ArmourWriter::Form::Framed);
  writer.Write(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  writer.Finish();
  return text;
}

std::string DecodeArmour(const std::string& text, const std::string& what) {
  MemorySource source(text);
  ArmourReader reader(source, what);
  std::string bytes;
  std::uint8_t buffer[4096];
  for (std::size_t n; (n = reader.Read(buffer, sizeof buffer)) > 0;)
    bytes.append(reinterpret_cast<const char*>(buffer), n);
  return bytes;
}

}  // namespace quorin
