#include "Environment.h"

#include <stdexcept>

#include "Errors.h"
#include "quorin/platform/Environment.h"

namespace quorin {

std::optional<SecretBytes> SecretFromEnvironment(const std::string& name) {
  try {
    return platform::SecretFromEnvironment(name);
  } catch (const std::invalid_argument& e) {
    throw UsageError(e.what());
  }
}

}  // namespace quorin
