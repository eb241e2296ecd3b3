// The quorin subcommands. Each returns the process exit code or throws
// UsageError (2) or CommandError (1).
#pragma once

#include "Options.h"

namespace quorin {

int Encrypt(const CipherOptions& options);
int Decrypt(const CipherOptions& options);
int Mac(const CipherOptions& options);
int Encode(const CipherOptions& options);
int Decode(const CipherOptions& options);
int SelfTest();
int Version();
// "quorin 1.11 (...)", as version and --version print it.
std::string VersionText();

// What a status code of the component means to someone at the command line.
// armoured: the input was read as armour, so suggesting -a would not help.
std::string StatusMessage(std::int32_t status, const std::string& input, bool armoured = false);

}  // namespace quorin
