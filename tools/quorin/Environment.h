// Secrets from the environment (a passphrase, a key), as UTF-8 on every
// platform.
#pragma once

#include <optional>
#include <string>

#include "Secret.h"

namespace quorin {

// The value of environment variable name, or none when it is not set.
// Throws UsageError for a value that is not text (UTF-16 that does not
// convert, on Windows).
std::optional<SecretBytes> SecretFromEnvironment(const std::string& name);

}  // namespace quorin
