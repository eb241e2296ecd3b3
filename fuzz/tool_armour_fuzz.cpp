// Fuzzes the tool's streaming armour reader. Any text decodes alike (the
// same bytes, or the same refusal) whether it is read whole or in small
// chunks, so that no chunk boundary changes a result. Text without
// markers is bare armour: accepted exactly when every other character is
// in the alphabet and the end is one an encoder writes, and then it gives
// the library's bytes (a UTF-8 byte-order mark before it is passed over,
// UTF-16 refused). Any bytes, armoured by the tool, framed, quoted in
// mail, with CR LF line ends or bare and wrapped, decode to themselves.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "Armour.h"
#include "Errors.h"
#include "Pump.h"
#include "quorin/Rc6.h"

namespace {

constexpr std::string_view kAlphabet =
    "+-0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

// "=" and the bytes, or "!" and the refusal's message (decoded bytes may
// themselves start with "!").
std::string Decoded(const std::string& text, std::size_t chunk,
                    const quorin::ArmourStyle& style = quorin::kMessageArmour) {
  quorin::MemorySource source(text);
  quorin::ArmourReader reader(source, "the input", chunk, style);
  std::string bytes = "=";
  std::uint8_t buffer[97];
  try {
    for (std::size_t n; (n = reader.Read(buffer, sizeof buffer)) > 0;)
      bytes.append(reinterpret_cast<const char*>(buffer), n);
  } catch (const quorin::CommandError& e) {
    return std::string("!") + e.what();
  }
  return bytes;
}

void AnyText(const std::string& given, std::size_t chunk) {
  const std::string whole = Decoded(given, 1 << 16);
  if (Decoded(given, chunk) != whole) std::abort();
  // UTF-16 is refused; a UTF-8 byte-order mark at the start is passed over.
  if (given.starts_with("\xFF\xFE") || given.starts_with("\xFE\xFF")) {
    if (whole.find("UTF-16") == std::string::npos) std::abort();
    return;
  }
  const std::string text = given.starts_with("\xEF\xBB\xBF") ? given.substr(3) : given;
  if (text.find("-----") != std::string::npos) return;  // perhaps markers: no oracle here
  std::string clean;
  bool valid = true;
  for (const char c : text) {
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') continue;
    valid = valid && kAlphabet.find(c) != std::string_view::npos;
    clean += c;
  }
  const std::size_t rest = clean.size() % 4;
  if (valid && rest > 1) {
    const auto last = kAlphabet.find(clean.back());
    valid = (last & (rest == 2 ? 0x0F : 0x03)) == 0;
  }
  valid = valid && rest != 1;
  const bool refused = !whole.empty() && whole[0] == '!';
  if (valid == refused) std::abort();
  if (valid && whole != "=" + Rc6::TQuorin(nullptr).DecodeString(clean)) std::abort();
}

// Bytes framed as encrypt -a (or, with 0x40, seal -a) writes them, inside
// mail, quoted, with CR LF line ends, or bare: they decode to themselves.
void AnyBytes(const std::string& bytes, std::size_t chunk, std::uint8_t how) {
  const bool sealed = (how & 0x40) != 0;
  const quorin::ArmourStyle& style = sealed ? quorin::kSealedArmour : quorin::kMessageArmour;
  std::string text;
  {
    quorin::StringSink sink(text);
    quorin::ArmourWriter writer(sink, quorin::ArmourWriter::Form::Framed, style);
    writer.Write(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    writer.Finish();
  }
  if (sealed) how &= static_cast<std::uint8_t>(~16);  // sealed armour is always framed
  if (how & 1) text = "Hi, the report:\n\n" + text + "\n-- \nAnn\n";
  if (how & 2) {  // quoted once or twice
    std::string quoted = (how & 4) ? "> > " : "> ";
    for (const char c : text)
      quoted += c == '\n' ? std::string("\n") + ((how & 4) ? "> > " : "> ") : std::string(1, c);
    text = quoted;
  }
  if (how & 8) {  // CR LF
    std::string crlf;
    for (const char c : text) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    text = crlf;
  }
  if (how & 16) {  // bare, wrapped at some width
    const std::string armour = Rc6::TQuorin(nullptr).EncodeString(bytes);
    const std::size_t width = 1 + how % 61;
    text.clear();
    for (std::size_t at = 0; at < armour.size(); at += width)
      text += armour.substr(at, width) + "\n";
  }
  if (Decoded(text, chunk, style) != "=" + bytes || Decoded(text, 1 << 16, style) != "=" + bytes)
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::size_t chunk = 1 + data[0] % 67;
  std::string rest(reinterpret_cast<const char*>(data + 2), size - 2);
  if (data[1] & 0x80) {
    AnyBytes(rest, chunk, data[1]);
  } else {
    // Markers around or inside the text, quoted or not, now and then.
    const std::string quote = (data[1] & 0x20) ? "> " : "";
    if (data[1] & 0x01) rest = quote + quorin::kArmourBegin + "\n" + rest;
    if (data[1] & 0x02) rest += "\n" + quote + quorin::kArmourEnd + "\n";
    if (data[1] & 0x04)
      rest.insert(rest.size() / 2, std::string("\n") + quorin::kArmourBegin + "\n");
    AnyText(rest, chunk);
  }
  return 0;
}
