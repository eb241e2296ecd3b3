// The failure of a system call, as the code above the platform layer sees
// it: what was being done, and the system's reason.
#pragma once

#include <stdexcept>
#include <string>

namespace quorin::platform {

// The system's text for an errno value (on Windows, the system's own
// message when the value came from the last Win32 error of this thread).
std::string SystemErrorText(int code);

class SystemError : public std::runtime_error {
 public:
  // The message is "what: <the system's text for code>".
  SystemError(const std::string& what, int code);
  int Code() const { return code_; }

 private:
  int code_;
};

}  // namespace quorin::platform
