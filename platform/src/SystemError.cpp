#include "quorin/platform/SystemError.h"

namespace quorin::platform {

SystemError::SystemError(const std::string& what, int code)
    : std::runtime_error(what + ": " + SystemErrorText(code)), code_(code) {}

}  // namespace quorin::platform
