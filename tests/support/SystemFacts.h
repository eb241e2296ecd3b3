// What the system says of this process and its files, for the tests: one
// implementation per platform (posix/, windows/). Needs no library of the
// project, so that the package loader's test can use it too.
#pragma once

#include <string>

namespace testsupport {

// How many descriptors (on Windows, handles) this process has open.
int OpenDescriptorCount();
// The memory this process has locked (VmLck), in KiB; -1 where the system
// does not tell.
long LockedKiB();
// Whether only the file's owner may read or write it (0600 on POSIX, a
// DACL of the owner's alone on Windows).
bool IsOwnersOnly(const std::string& path);
// The device that swallows what is written ("/dev/null", "NUL").
extern const char* const kNullDevice;
void SetEnvironment(const char* name, const char* value);  // null value: unset

}  // namespace testsupport
