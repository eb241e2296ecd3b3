// System utilities: the exceptions, hexadecimal formatting and raw file creation.
#pragma once

#include <cstdint>
#include <string>

#include "quorin/framework/Exceptions.h"
#include "quorin/framework/Export.h"

namespace framework {

// Value in upper-case hexadecimal, high digit first, zero-padded to Digits
// digits; a value that needs more digits gets them all.
FRAMEWORK_API std::string IntToHex(std::uint64_t Value, int Digits);

// Creates the file, or truncates an existing one to length 0, open for writing.
// A new file gets the access rights Rights (less the umask); an existing one
// keeps its own. Returns the handle, or -1 with errno set (no exception).
FRAMEWORK_API int FileCreate(const std::string& FileName, unsigned Rights = 0666);

// The text of an I/O error: "I/O error 13 (Permission denied) creating 'x'".
FRAMEWORK_API std::string IOErrorMessage(int Code, const std::string& Step,
                                         const std::string& FileName);
// Closes a handle from FileCreate; -1 is ignored.
FRAMEWORK_API void FileClose(int Handle);

}  // namespace framework
