#include "Terminal.h"

#include <string>

#include "Errors.h"

namespace quorin {

Terminal::Terminal() {
  try {
    terminal_.emplace();
  } catch (const platform::Terminal::Missing&) {
    throw UsageError(kNoTerminal);
  }
}

SecretBytes Terminal::Ask(const char* prompt) {
  try {
    return terminal_->Ask(prompt, kLongestPassphrase);
  } catch (const platform::Terminal::Ended&) {
    throw CommandError(kNoAnswer);
  } catch (const platform::Terminal::TooLong&) {
    throw UsageError("the passphrase is longer than " + std::to_string(kLongestPassphrase) +
                     " bytes");
  }
}

void Terminal::Say(const void* text, std::size_t size) {
  try {
    terminal_->Say(text, size);
  } catch (const std::runtime_error& e) {
    throw CommandError(e.what());
  }
}

}  // namespace quorin
