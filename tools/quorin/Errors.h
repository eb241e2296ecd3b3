// The two ways a quorin command fails, by exit code.
#pragma once

#include <stdexcept>
#include <string>

namespace quorin {

// The command line asks for something impossible or unsafe: exit code 2.
struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// The operation was tried and failed: exit code 1.
struct CommandError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Prints "quorin: note: ..." on standard error.
void Note(const std::string& message);

}  // namespace quorin
