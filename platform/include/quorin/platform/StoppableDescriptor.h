// A caller's file descriptor that one thread reads or writes while another
// may stop it: where the system can wait on two handles at once (POSIX), a
// wait under way ends at once; elsewhere the stop takes effect at the next
// call. Either way, freeing what waits on a pipe never hangs.
#pragma once

#include <atomic>
#include <cstddef>

namespace quorin::platform {

class StoppableDescriptor {
 public:
  // Throws std::system_error when the system cannot make the wake-up.
  explicit StoppableDescriptor(int fd);
  ~StoppableDescriptor();
  StoppableDescriptor(const StoppableDescriptor&) = delete;
  StoppableDescriptor& operator=(const StoppableDescriptor&) = delete;

  // One read or write once the descriptor is ready: the bytes moved (0 at
  // the end of the input), or -1 with errno set, ECANCELED once stopped.
  long ReadSome(void* buffer, std::size_t count);
  long WriteSome(const void* buffer, std::size_t count);
  // From any thread.
  void Stop() noexcept;

 private:
  int fd_;
  std::atomic<bool> stopped_{false};
  [[maybe_unused]] int wake_[2] = {-1, -1};  // a pipe that wakes a wait, where there is one
};

}  // namespace quorin::platform
