// The named temporary files that the console's control handler removes
// before Ctrl-C, Ctrl-Break or the console's closing ends the process. The
// handler runs on a thread of its own: one lock keeps it and the outputs
// from seeing a name half made or half forgotten.
#pragma once

#include <mutex>
#include <string>

namespace quorin::platform {

// The slot the name now occupies, or -1 when all are taken (the file is then
// removed on failure, but not when the console ends the process).
int RememberTemporary(const std::wstring& path);
void ForgetTemporary(int slot) noexcept;

// Held while a temporary file is made, renamed or removed.
class TemporariesHeld {
 public:
  TemporariesHeld();
  ~TemporariesHeld();
  TemporariesHeld(const TemporariesHeld&) = delete;
  TemporariesHeld& operator=(const TemporariesHeld&) = delete;
};

}  // namespace quorin::platform
