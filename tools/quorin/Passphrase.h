// Getting a passphrase: from the terminal without echo, from a file or from
// the environment. Never from the command line, where other users could
// read it in the process list.
#pragma once

#include <string>

#include "Secret.h"

namespace quorin {

// Asks on the controlling terminal with echo off; with confirm (sealing),
// asks twice and refuses a mismatch (CommandError), or, when the first is
// empty, generates one and shows it on the terminal. Throws UsageError when
// there is no terminal or (without confirm) the passphrase is empty.
SecretBytes PromptPassphrase(bool confirm);

// The first line of FILE (without its line end).
SecretBytes PassphraseFromFile(const std::string& path);

// The value of environment variable name.
SecretBytes PassphraseFromEnvironment(const std::string& name);

}  // namespace quorin
