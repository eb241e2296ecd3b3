// The environment on POSIX: its bytes as they are (UTF-8 in a UTF-8 locale).
#include <cstdlib>
#include <cstring>

#include "quorin/platform/Environment.h"

namespace quorin::platform {

std::optional<SecretBytes> SecretFromEnvironment(const std::string& name) {
  const char* value = std::getenv(name.c_str());
  if (value == nullptr) return std::nullopt;
  return SecretBytes(value, value + std::strlen(value));
}

}  // namespace quorin::platform
