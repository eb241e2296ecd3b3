// The options of the cipher commands, as parsed from the command line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Secret.h"
#include "quorin/Rc6.h"

namespace quorin {

struct CipherOptions {
  Rc6::TCipherMode mode = Rc6::TCipherMode::CBC;
  std::optional<int> keyBits;  // -s; unset: from the key's length
  std::string keyFile, keyEnv = "QUORIN_KEY";
  // The digits of --key-hex, taken from the command line before the parser
  // sees them (see CommandLine::Parse), so that no unwiped copy exists.
  SecretBytes keyHex;
  bool keyHexGiven = false;
  std::string ivHex, ivFile;
  bool armour = false;
  std::string input = "-";
  std::string output = "-";
  bool outputGiven = false;  // -o was on the command line
  bool force = false;
  std::optional<bool> progress;  // --progress / --no-progress; unset: when useful
  bool operator==(const CipherOptions&) const = default;
};

}  // namespace quorin

namespace quorin {

// The options of seal, open and keygen.
struct SealCommandOptions {
  std::string mode = "cbc";       // -m: cbc, cfb or ofb
  int keyBits = 256;              // -s
  std::string cost = "moderate";  // --cost: interactive, moderate or sensitive
  bool prompt = false;            // -p
  std::string keyFile, passphraseFile, passphraseEnv;
  std::vector<std::string> recipients;      // seal -r
  std::vector<std::string> recipientFiles;  // seal -R
  std::vector<std::string> identityFiles;   // open -i
  bool printRecipient = false;              // keygen -y (the identity is INPUT)
  int format = 2;                           // seal --format
  bool armour = false;                      // seal -a
  std::uint32_t maxPasses = 4;              // open --max-passes
  std::uint64_t maxMemoryMiB = 1024;        // open --max-memory
  bool rawKey = false;                      // keygen --raw
  std::string input = "-";
  std::string output = "-";
  bool outputGiven = false;
  bool force = false;
  std::optional<bool> progress;
  bool operator==(const SealCommandOptions&) const = default;
};

}  // namespace quorin
