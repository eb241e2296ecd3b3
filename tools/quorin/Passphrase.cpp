#include "Passphrase.h"

#include <optional>
#include <utility>

#include "Environment.h"
#include "Errors.h"
#include "GeneratedPassphrase.h"
#include "KeyMaterial.h"
#include "Terminal.h"

namespace quorin {
namespace {

SecretBytes NotEmpty(SecretBytes passphrase, const std::string& where) {
  if (passphrase.empty()) throw UsageError("the passphrase " + where + " is empty");
  return passphrase;
}

}  // namespace

// Sealing offers a generated passphrase for an empty one.
constexpr const char* kSealPrompt = "Passphrase (Enter alone for a generated one): ";

SecretBytes PromptPassphrase(bool confirm) {
  Terminal tty;
  SecretBytes first = tty.Ask(confirm ? kSealPrompt : "Passphrase: ");
  if (confirm && first.empty()) {
    // Shown once, on the terminal only: never on standard output or error,
    // which may go to a file.
    SecretBytes generated = GeneratedPassphrase();
    const std::string before = "Generated passphrase (" +
                               std::to_string(static_cast<int>(GeneratedPassphraseBits())) +
                               " bits; write it down, it is not shown again):\n  ";
    tty.Say(before.c_str());
    generated.push_back('\n');
    tty.Say(generated);
    generated.pop_back();
    return generated;
  }
  first = NotEmpty(std::move(first), "typed");
  if (confirm) {
    const SecretBytes again = tty.Ask("Passphrase again: ");
    if (again != first) throw CommandError("the two passphrases differ: nothing was sealed");
  }
  return first;
}

SecretBytes PassphraseFromFile(const std::string& path) {
  SecretBytes line = ReadTextFile(path, "passphrase", kLongestPassphrase, FileExtent::FirstLine);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return NotEmpty(std::move(line), "in '" + path + "'");
}

SecretBytes PassphraseFromEnvironment(const std::string& name) {
  std::optional<SecretBytes> value = SecretFromEnvironment(name);
  if (!value) throw UsageError("the environment variable " + name + " is not set");
  return NotEmpty(std::move(*value), "in " + name);
}

}  // namespace quorin
