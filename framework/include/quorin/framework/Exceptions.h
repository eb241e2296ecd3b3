// The framework's exception classes. All derive from std::runtime_error so that
// callers who know nothing of the framework can still catch them.
#pragma once

#include <stdexcept>
#include <string>

#include "quorin/framework/Export.h"

namespace framework {

// Misuse of a component: an invalid or duplicate name, a bad form, an unknown class.
class FRAMEWORK_API EComponentError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A stream could not be read, written, positioned, opened or created.
class FRAMEWORK_API EStreamError : public std::runtime_error {
 public:
  EStreamError(int errorCode, const std::string& message);
  int ErrorCode;  // errno of the failed system call, 0 when none was involved
};

class FRAMEWORK_API EFOpenError : public EStreamError {
 public:
  using EStreamError::EStreamError;
};

class FRAMEWORK_API EFCreateError : public EStreamError {
 public:
  using EStreamError::EStreamError;
};

// A typed-file operation failed; raised by IOTest.
class FRAMEWORK_API EInOutError : public std::runtime_error {
 public:
  EInOutError(int errorCode, const std::string& message);
  int ErrorCode;  // errno of the failed system call
};

}  // namespace framework
