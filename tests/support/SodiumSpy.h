// libsodium's guarded allocations, watched by interposing on its allocator's
// entry points (POSIX: the test's own definitions come first, and pass each
// call on to libsodium's).
#pragma once

#include <cstddef>
#include <map>
#include <vector>

namespace testsupport {

// What is allocated and not yet freed, by address.
std::map<void*, std::size_t>& LiveSodiumAllocations();
// The size of every allocation, in order; the test clears it as it likes.
std::vector<std::size_t>& SodiumAllocationSizes();

}  // namespace testsupport
