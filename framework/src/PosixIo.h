// Private helpers: POSIX calls with EINTR and short transfers handled, shared by
// the file stream and the typed-file records.
#pragma once

#include <cstddef>
#include <string>

namespace framework::posixio {

// open(2) with O_CLOEXEC; returns the descriptor or -1 with errno set. Rights
// apply to a file that O_CREAT creates.
int Open(const std::string& Name, int Flags, unsigned Rights = 0666);
// Reads until Count bytes arrived or the end of the file; -1 with errno on error.
long ReadFully(int Fd, void* Buffer, std::size_t Count);
// Writes until Count bytes went out; -1 with errno on error (some may have been written).
long WriteFully(int Fd, const void* Buffer, std::size_t Count);

}  // namespace framework::posixio
