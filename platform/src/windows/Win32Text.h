// Text at the Win32 boundary, shared by every Windows part of the project:
// UTF-8 names as the wide names Win32 takes (long ones in the \\?\ form),
// and Win32 errors as errno values and as the system's own messages.
#pragma once

#include <string>

namespace quorin::win32 {

// The UTF-16 form of UTF-8 text; throws std::invalid_argument when it is
// not UTF-8.
std::wstring Wide(const std::string& utf8);
// The UTF-16 form of a UTF-8 path. A path too long for MAX_PATH is made
// absolute and given the \\?\ prefix, which lifts the limit. Throws
// std::invalid_argument when the name is not UTF-8.
std::wstring WidePath(const std::string& utf8);
// The UTF-8 form of a UTF-16 text (invalid sequences become U+FFFD).
std::string Utf8(const std::wstring& wide);

// The errno value nearest to a Win32 error code (GetLastError), for callers
// that report errno on every platform. The code is remembered for this
// thread, so that ErrorText can give the system's message for it.
int ErrnoOf(unsigned long win32Error);
// Sets errno from GetLastError() and returns it.
int ErrnoFromLastError();
// The message for an errno value: the system's own (FormatMessageW) when it
// came from the last Win32 error seen on this thread, else strerror's.
std::string ErrorText(int errnoValue);

}  // namespace quorin::win32
