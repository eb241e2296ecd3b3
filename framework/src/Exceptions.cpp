// Out-of-line constructors, so that each exception's type information lives in one library.
#include "quorin/framework/Exceptions.h"

namespace framework {

EStreamError::EStreamError(int errorCode, const std::string& message)
    : std::runtime_error(message), ErrorCode(errorCode) {}

EInOutError::EInOutError(int errorCode, const std::string& message)
    : std::runtime_error(message), ErrorCode(errorCode) {}

}  // namespace framework
