#include "quorin/platform/StoppableDescriptor.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace quorin::platform {
namespace {

// Waits until fd is ready for `events` or the wake pipe has a byte; false
// (errno ECANCELED) when stopped, or with errno from poll.
bool Await(int fd, short events, int wake, const std::atomic<bool>& stopped) {
  if (stopped) {
    errno = ECANCELED;
    return false;
  }
  struct pollfd both[2] = {{fd, events, 0}, {wake, POLLIN, 0}};
  while (::poll(both, 2, -1) < 0)
    if (errno != EINTR) return false;
  if (both[1].revents != 0) {
    errno = ECANCELED;
    return false;
  }
  return true;
}

}  // namespace

StoppableDescriptor::StoppableDescriptor(int fd) : fd_(fd) {
  if (::pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0)
    throw std::system_error(errno, std::generic_category(), "cannot make a pipe");
}

StoppableDescriptor::~StoppableDescriptor() {
  ::close(wake_[0]);
  ::close(wake_[1]);
}

void StoppableDescriptor::Stop() noexcept {
  stopped_ = true;
  const char byte = 0;
  [[maybe_unused]] const ssize_t n = ::write(wake_[1], &byte, 1);  // one is enough; full is fine
}

long StoppableDescriptor::ReadSome(void* buffer, std::size_t count) {
  for (;;) {
    if (!Await(fd_, POLLIN, wake_[0], stopped_)) return -1;
    const ssize_t n = ::read(fd_, buffer, count);
    if (n >= 0 || (errno != EINTR && errno != EAGAIN)) return static_cast<long>(n);
  }
}

long StoppableDescriptor::WriteSome(const void* buffer, std::size_t count) {
  for (;;) {
    if (!Await(fd_, POLLOUT, wake_[0], stopped_)) return -1;
    const ssize_t n = ::write(fd_, buffer, count);
    if (n >= 0 || (errno != EINTR && errno != EAGAIN)) return static_cast<long>(n);
  }
}

}  // namespace quorin::platform
