// System utilities: the exceptions, hexadecimal formatting and raw file creation.
#pragma once

#include <cstdint>
#include <string>

#include "framework/Exceptions.h"
#include "framework/Export.h"

namespace framework {

// Value in upper-case hexadecimal, high digit first, zero-padded to Digits
// digits; a value that needs more digits gets them all.
FRAMEWORK_API std::string IntToHex(std::uint64_t Value, int Digits);

// Creates the file, or truncates an existing one to length 0, open for writing.
// Returns the handle, or -1 on failure (no exception).
FRAMEWORK_API int FileCreate(const std::string& FileName);
// Closes a handle from FileCreate; -1 is ignored.
FRAMEWORK_API void FileClose(int Handle);

}  // namespace framework
