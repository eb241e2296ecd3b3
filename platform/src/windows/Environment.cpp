// The environment on Windows, read in UTF-16 (GetEnvironmentVariableW) and
// kept as UTF-8, as the prompt and the command line are: the same
// passphrase then opens a file on either platform.
#include <windows.h>

#include <stdexcept>
#include <vector>

#include "Win32Text.h"
#include "quorin/platform/Environment.h"

namespace quorin::platform {

std::optional<SecretBytes> SecretFromEnvironment(const std::string& name) {
  std::wstring wideName;
  try {
    wideName = win32::Wide(name);
  } catch (const std::invalid_argument&) {
    throw std::invalid_argument("the environment variable's name is not UTF-8");
  }
  std::vector<wchar_t, SecretAllocator<wchar_t>> value(256);
  for (;;) {
    ::SetLastError(ERROR_SUCCESS);
    const DWORD n =
        ::GetEnvironmentVariableW(wideName.c_str(), value.data(), static_cast<DWORD>(value.size()));
    if (n == 0 && ::GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
    if (n < value.size()) {
      value.resize(n);
      break;
    }
    value.resize(n);  // n counts the terminating NUL when the buffer was too small
  }
  if (value.empty()) return SecretBytes();
  const int size =
      ::WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, value.data(),
                            static_cast<int>(value.size()), nullptr, 0, nullptr, nullptr);
  if (size <= 0)
    throw std::invalid_argument("the environment variable " + name +
                                " is not text (it holds UTF-16 that has no UTF-8 form)");
  SecretBytes out(static_cast<std::size_t>(size));
  ::WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, value.data(), static_cast<int>(value.size()),
                        reinterpret_cast<char*>(out.data()), size, nullptr, nullptr);
  return out;
}

}  // namespace quorin::platform
