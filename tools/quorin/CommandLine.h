// The quorin command line: which command, with which options. Parsing is
// kept apart from running, so that tests and fuzzers can check what a
// command line means without running it.
#pragma once

#include <memory>
#include <string>

#include "Options.h"

namespace quorin {

enum class Command {
  None,
  Encrypt,
  Decrypt,
  Mac,
  Encode,
  Decode,
  Seal,
  Open,
  KeyGen,
  SelfTest,
  Version
};

struct ParsedCommandLine {
  Command command = Command::None;
  CipherOptions cipher;     // encrypt, decrypt, mac, encode, decode
  SealCommandOptions seal;  // seal, open, keygen
  bool operator==(const ParsedCommandLine&) const = default;
};

class CommandLine {
 public:
  CommandLine();
  ~CommandLine();
  CommandLine(const CommandLine&) = delete;
  CommandLine& operator=(const CommandLine&) = delete;

  // What becomes of a secret on the command line (the digits of --key-hex).
  enum class Secrets {
    // Moved into locked, wiped memory and wiped in argv itself, so that the
    // process list no longer shows them; the parser sees a placeholder.
    TakenOut,
    // Left where they are and parsed as any value (for tests that compare
    // the two).
    LeftInPlace
  };

  // Takes the secrets out of argv, then parses the line. Returns false when
  // parsing ended without a command to run: --help, --version or a usage
  // error, which Finish() reports. Throws UsageError for a value the parser
  // accepts but the tool does not (an empty one).
  bool Parse(int argc, char** argv, Secrets secrets = Secrets::TakenOut);

  // After Parse returned false: prints the help, the version or the usage
  // error, and returns the exit code (0, or 2 for a usage error; 1 when the
  // help or version could not be written).
  int Finish();

  const ParsedCommandLine& Result() const;

 private:
  struct Parser;
  std::unique_ptr<Parser> parser_;
};

}  // namespace quorin
