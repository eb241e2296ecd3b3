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
// The most memory this process has had resident so far, in KiB; -1 where
// the system does not tell.
long PeakResidentKiB();
// Whether only the file's owner may read or write it (0600 on POSIX, a
// DACL of the owner's alone on Windows).
bool IsOwnersOnly(const std::string& path);
// The device that swallows what is written ("/dev/null", "NUL").
extern const char* const kNullDevice;
void SetEnvironment(const char* name, const char* value);  // null value: unset
// The process's umask, set; returns the one before (POSIX; 0 elsewhere).
unsigned SetUmask(unsigned mask);
// Whether the process runs as the superuser, whom file rights do not stop.
bool IsSuperuser();
// Special files for the tests of what a name refers to (POSIX; false or
// -1 elsewhere): a FIFO, a listening socket's file (kept until the process
// ends), a pipe's two ends (read, write) and closing a descriptor.
bool MakeFifo(const std::string& path);
bool MakeSocketFile(const std::string& path);
bool MakePipe(int ends[2]);
void CloseDescriptor(int descriptor);
// Whether the system would write this process to a core dump: 1 or 0, or
// -1 where it does not tell.
int Dumpable();

}  // namespace testsupport
