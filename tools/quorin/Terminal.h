// The terminal the user types at (the console on Windows), for prompts
// whose answer must not be seen: the platform's, with the tool's errors.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>

#include "Secret.h"
#include "quorin/platform/Terminal.h"

namespace quorin {

constexpr std::size_t kLongestPassphrase = 1024;
constexpr const char* kNoAnswer =
    "the terminal ended before a passphrase was entered (Ctrl-D, or it hung up): nothing was done";
constexpr const char* kNoTerminal =
    "there is no terminal to ask for the passphrase: pass --passphrase-file FILE or "
    "--passphrase-env NAME, or use --key-file FILE";

class Terminal {
 public:
  // Throws UsageError (kNoTerminal) when the process has none.
  Terminal();

  // Shows prompt and reads a line with echo off; the line end is not kept.
  // Throws UsageError for a line longer than kLongestPassphrase bytes, and
  // CommandError (kNoAnswer) when the terminal ends before a line does:
  // Ctrl-D (Ctrl-Z on Windows), or a hang-up. Never an empty answer then.
  SecretBytes Ask(const char* prompt);
  // Throws CommandError when the terminal does not take all of it.
  void Say(const char* text) { Say(text, std::strlen(text)); }
  void Say(const SecretBytes& text) { Say(text.data(), text.size()); }
  void Say(const void* text, std::size_t size);

 private:
  std::optional<platform::Terminal> terminal_;
};

}  // namespace quorin
