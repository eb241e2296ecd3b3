// Fuzzes the tool's command line: words (the tool's own commands, options
// and values, or bytes of the input) become argv. The line is parsed with
// its secrets taken out, as the tool runs, and with them left in place, as
// the parser alone would read it; the two must mean the same command with
// the same options (the key included), or be refused alike. The same holds
// for the line with every --key-hex in the other spelling ("--key-hex=V"
// against "--key-hex V"). A secret taken out leaves no copy in argv.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "Errors.h"

namespace {

using Secrets = quorin::CommandLine::Secrets;

constexpr std::size_t kMostWords = 24;

// The words the command line knows, so that most lines get past the first word.
constexpr const char* kWords[] = {"encrypt",
                                  "decrypt",
                                  "mac",
                                  "encode",
                                  "decode",
                                  "seal",
                                  "open",
                                  "keygen",
                                  "selftest",
                                  "version",
                                  "--key-hex",
                                  "--key-hex=",
                                  "--key-hex=00ff",
                                  "00112233",
                                  "--",
                                  "-",
                                  "-o",
                                  "--output",
                                  "--output=",
                                  "-f",
                                  "-m",
                                  "--mode",
                                  "ecb",
                                  "ofb",
                                  "-s",
                                  "128",
                                  "-a",
                                  "--key-file",
                                  "--key-env",
                                  "--iv-hex",
                                  "--iv-file",
                                  "--progress",
                                  "--help",
                                  "--version",
                                  "-p",
                                  "--cost",
                                  "in.bin",
                                  "",
                                  "-ofile",
                                  "-fo",
                                  "-mecb",
                                  "-af",
                                  "--passphrase-env",
                                  "--force=1"};
constexpr std::size_t kWordCount = sizeof kWords / sizeof kWords[0];

struct Outcome {
  bool parsed = false;
  std::optional<std::string> usageError;
  quorin::ParsedCommandLine result;
  std::vector<std::string> argvAfter;
};

Outcome ParseWords(std::vector<std::string> words, Secrets secrets) {
  std::vector<char*> argv;
  for (auto& w : words) argv.push_back(w.data());
  Outcome outcome;
  quorin::CommandLine commandLine;
  try {
    outcome.parsed = commandLine.Parse(static_cast<int>(argv.size()), argv.data(), secrets);
  } catch (const quorin::UsageError& e) {
    outcome.usageError = e.what();
  }
  outcome.result = commandLine.Result();
  for (const char* a : argv) outcome.argvAfter.emplace_back(a);
  return outcome;
}

// The line with each --key-hex before "--" in the other spelling.
std::vector<std::string> OtherSpelling(const std::vector<std::string>& words) {
  static const std::string kOption = "--key-hex";
  std::vector<std::string> other{words.front()};
  std::size_t i = 1;
  for (; i < words.size() && words[i] != "--"; ++i) {
    const std::string& w = words[i];
    if (w == kOption && i + 1 < words.size()) {
      other.push_back(kOption + "=" + words[++i]);
    } else if (w.starts_with(kOption + "=") && w.size() > kOption.size() + 1) {
      other.push_back(kOption);
      other.push_back(w.substr(kOption.size() + 1));
    } else {
      other.push_back(w);
    }
  }
  other.insert(other.end(), words.begin() + static_cast<std::ptrdiff_t>(i), words.end());
  return other;
}

void Check(const std::vector<std::string>& words) {
  const Outcome taken = ParseWords(words, Secrets::TakenOut);
  const Outcome plain = ParseWords(words, Secrets::LeftInPlace);
  if (taken.parsed != plain.parsed || taken.usageError != plain.usageError) std::abort();
  if (!taken.parsed || taken.usageError) return;
  if (!(taken.result == plain.result)) std::abort();
  // The digits of a key taken out are in no word of argv any more.
  const quorin::CipherOptions& o = taken.result.cipher;
  if (!o.keyHexGiven || o.keyHex.empty()) return;
  const std::string digits(o.keyHex.begin(), o.keyHex.end());
  auto holds = [&](const std::string& w) { return w == digits || w == "--key-hex=" + digits; };
  const auto before = std::count_if(words.begin(), words.end(), holds);
  const auto after = std::count_if(taken.argvAfter.begin(), taken.argvAfter.end(), holds);
  if (after != before - 1) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // A byte with the top bit set picks a known word; any other starts a word
  // of its own, of up to 15 following bytes.
  std::vector<std::string> words{"quorin"};
  for (std::size_t i = 0; i < size && words.size() < kMostWords;) {
    const std::uint8_t b = data[i++];
    if (b & 0x80) {
      words.emplace_back(kWords[(b & 0x7F) % kWordCount]);
    } else {
      const std::size_t n = std::min<std::size_t>(b % 16, size - i);
      std::string word(reinterpret_cast<const char*>(data + i), n);
      words.push_back(word.substr(0, word.find('\0')));  // as argv would hold it
      i += n;
    }
  }
  Check(words);
  Check(OtherSpelling(words));
  return 0;
}
