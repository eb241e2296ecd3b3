#include "../DescriptorStream.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "../Status.h"
#include "quorin/framework/Exceptions.h"

namespace quorin_capi {

DescriptorStream::DescriptorStream(int fd, std::string name) : fd_(fd), name_(std::move(name)) {
  if (::pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0)
    throw framework::EStreamError(errno,
                                  std::string("cannot make a pipe: ") + std::strerror(errno));
}

DescriptorStream::~DescriptorStream() {
  ::close(wake_[0]);
  ::close(wake_[1]);
}

void DescriptorStream::Stop() noexcept {
  stopped_ = true;
  const char byte = 0;
  [[maybe_unused]] const ssize_t n = ::write(wake_[1], &byte, 1);  // one is enough; full is fine
}

namespace {

// Waits until fd is ready for `events` or the stream is stopped.
void Await(int fd, short events, int wake, const std::atomic<bool>& stopped) {
  if (stopped) throw StatusError(QUORIN_CALLBACK_FAILED, "the caller stopped");
  struct pollfd both[2] = {{fd, events, 0}, {wake, POLLIN, 0}};
  for (;;) {
    if (::poll(both, 2, -1) >= 0) break;
    if (errno != EINTR)
      throw framework::EStreamError(errno, std::string("poll: ") + std::strerror(errno));
  }
  if (both[1].revents != 0) throw StatusError(QUORIN_CALLBACK_FAILED, "the caller stopped");
}

}  // namespace

std::int32_t DescriptorStream::Read(void* buffer, std::int32_t count) {
  auto* out = static_cast<std::uint8_t*>(buffer);
  std::int32_t got = 0;
  while (got < count) {
    Await(fd_, POLLIN, wake_[0], stopped_);
    const ssize_t n = ::read(fd_, out + got, static_cast<std::size_t>(count - got));
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR || errno == EAGAIN) continue;
      throw framework::EStreamError(errno, "error reading " + name_ + ": " + std::strerror(errno));
    }
    got += static_cast<std::int32_t>(n);
  }
  position_ += got;
  return got;
}

std::int32_t DescriptorStream::Write(const void* buffer, std::int32_t count) {
  const auto* in = static_cast<const std::uint8_t*>(buffer);
  std::int32_t put = 0;
  while (put < count) {
    Await(fd_, POLLOUT, wake_[0], stopped_);
    const ssize_t n = ::write(fd_, in + put, static_cast<std::size_t>(count - put));
    if (n < 0) {
      if (errno == EINTR || errno == EAGAIN) continue;
      throw framework::EStreamError(errno, "error writing " + name_ + ": " + std::strerror(errno));
    }
    put += static_cast<std::int32_t>(n);
  }
  position_ += put;
  return put;
}

}  // namespace quorin_capi
