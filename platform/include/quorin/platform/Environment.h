// The command line and the environment as UTF-8 on every platform: Windows
// keeps both in UTF-16, and its narrow views (main's argv, getenv) would
// turn what the code page lacks into '?'.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "quorin/platform/SecretMemory.h"

namespace quorin::platform {

class CommandLine {
 public:
  // argv itself on POSIX; on Windows the wide command line converted.
  CommandLine(int argc, char** argv);
  CommandLine(const CommandLine&) = delete;
  CommandLine& operator=(const CommandLine&) = delete;

  int Count() const { return static_cast<int>(pointers_.size()); }
  // Writable, so that secrets can be wiped where they stand.
  char** Values() { return pointers_.data(); }

 private:
  std::vector<std::string> converted_;
  std::vector<char*> pointers_;
};

// The value of environment variable name, in secret memory, or none when
// it is not set. Throws std::invalid_argument, saying why, for a name or
// value that is not text (UTF-16 without a UTF-8 form, on Windows).
std::optional<SecretBytes> SecretFromEnvironment(const std::string& name);

}  // namespace quorin::platform
