#include "Armour.h"

#include <cstdio>
#include <string_view>
#include <vector>

#include "Errors.h"
#include "quorin/Rc6.h"

namespace quorin {
namespace {

constexpr std::string_view kAlphabet =
    "+-0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
constexpr std::size_t kLineLength = 64;

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

// A line without its mail quoting ("> ", ">> ", "> > ") and surrounding blanks.
std::string_view Unquoted(std::string_view line) {
  while (!line.empty() && (line.front() == '>' || IsSpace(line.front()))) line.remove_prefix(1);
  while (!line.empty() && IsSpace(line.back())) line.remove_suffix(1);
  return line;
}

struct Line {
  std::string_view text;
  std::size_t number;
};

std::vector<Line> Lines(const std::string& text) {
  std::vector<Line> lines;
  std::size_t start = 0, number = 1;
  for (std::size_t i = 0; i <= text.size(); ++i)
    if (i == text.size() || text[i] == '\n') {
      lines.push_back({std::string_view(text).substr(start, i - start), number++});
      start = i + 1;
    }
  return lines;
}

}  // namespace

std::string FrameArmour(const std::string& armour) {
  std::string out = std::string(kArmourBegin) + "\n";
  for (std::size_t at = 0; at < armour.size(); at += kLineLength)
    out.append(armour, at, kLineLength).append("\n");
  return out + kArmourEnd + "\n";
}

std::string DecodeArmour(const std::string& text, const std::string& what) {
  const std::vector<Line> lines = Lines(text);
  std::size_t first = 0, last = lines.size();  // the lines that hold the armour
  for (std::size_t i = 0; i < lines.size(); ++i)
    if (Unquoted(lines[i].text) == kArmourBegin) {
      first = i + 1;
      last = lines.size();
      for (std::size_t j = first; j < lines.size(); ++j)
        if (Unquoted(lines[j].text) == kArmourEnd) {
          last = j;
          break;
        }
      if (last == lines.size())
        throw CommandError(what + " has a BEGIN line (line " + std::to_string(lines[i].number) +
                           ") but no END line: the armour was cut short");
      break;
    }
  const bool framed = first > 0;

  std::string clean;
  clean.reserve(text.size());
  for (std::size_t i = first; i < last; ++i) {
    const std::string_view line = framed ? Unquoted(lines[i].text) : lines[i].text;
    for (std::size_t k = 0; k < line.size(); ++k) {
      const char c = line[k];
      if (IsSpace(c)) continue;
      if (kAlphabet.find(c) == std::string_view::npos) {
        const auto column = static_cast<std::size_t>(line.data() - lines[i].text.data()) + k + 1;
        throw CommandError(what + " is not radix-64 armour: " + Describe(c) + " at line " +
                           std::to_string(lines[i].number) + ", column " + std::to_string(column) +
                           " is not in its alphabet (+, -, 0-9, A-Z, a-z)");
      }
      clean += c;
    }
  }
  return Rc6::TQuorin(nullptr).DecodeString(clean);
}

}  // namespace quorin
