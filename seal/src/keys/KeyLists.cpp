// Identity and recipient files: one entry a line, blank lines and '#'
// comments skipped, as quorin keygen writes them and people edit them.
#include <stdexcept>
#include <string>

#include "quorin/seal/Seal.h"

namespace quorin::seal {
namespace {

// The text without a UTF-8 byte-order mark (Windows editors write one);
// UTF-16 (PowerShell 5.1's `>`) is refused, since no one types its NULs.
std::string_view WithoutMark(std::string_view text, std::string_view name) {
  if (text.starts_with("\xFF\xFE") || text.starts_with("\xFE\xFF"))
    throw std::invalid_argument(std::string(name) +
                                " is UTF-16 text (as PowerShell 5.1's > writes it): save it "
                                "as UTF-8");
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  return text;
}

template <class Entry, class Parse>
std::vector<Entry> ParseList(std::string_view text, std::string_view name, Parse parse,
                             const char* none) {
  if (text.size() > kLargestListFile)
    throw std::invalid_argument(std::string(name) + " is longer than " +
                                std::to_string(kLargestListFile) + " bytes");
  text = WithoutMark(text, name);
  std::vector<Entry> entries;
  std::size_t line = 0;
  while (!text.empty()) {
    const std::size_t end = std::min(text.find('\n'), text.size());
    std::string_view entry = text.substr(0, end);
    text.remove_prefix(std::min(end + 1, text.size()));
    ++line;
    while (!entry.empty() && (entry.front() == ' ' || entry.front() == '\t'))
      entry.remove_prefix(1);
    while (!entry.empty() && (entry.back() == ' ' || entry.back() == '\t' || entry.back() == '\r'))
      entry.remove_suffix(1);
    if (entry.empty() || entry.front() == '#') continue;
    try {
      entries.push_back(parse(entry));
    } catch (const std::invalid_argument& e) {
      throw std::invalid_argument(std::string(name) + " line " + std::to_string(line) + ": " +
                                  e.what());
    }
  }
  if (entries.empty()) throw std::invalid_argument(std::string(name) + " holds " + none);
  return entries;
}

}  // namespace

std::vector<Secret> ParseIdentities(std::string_view text, std::string_view name) {
  return ParseList<Secret>(
      text, name, [](std::string_view e) { return Secret::ParseIdentity(e); },
      "no identity (make one with quorin keygen)");
}

std::vector<Recipient> ParseRecipients(std::string_view text, std::string_view name) {
  return ParseList<Recipient>(
      text, name,
      [](std::string_view e) {
        // An identity where a recipient belongs is secret: never repeated.
        if (LooksLikeIdentity(e))
          throw std::invalid_argument(
              "this is an identity, which is secret: give its recipient (quorin keygen -y FILE "
              "prints it)");
        return Recipient::Parse(e);
      },
      "no recipient");
}

}  // namespace quorin::seal
