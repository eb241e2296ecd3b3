// How many processor cores this process may run on: its affinity mask, not
// the machine's count, so that a process confined to one core (taskset, a
// container's cpuset) does not start threads that would only take turns.
#pragma once

namespace quorin::platform {

unsigned UsableCores() noexcept;  // at least 1

}  // namespace quorin::platform
