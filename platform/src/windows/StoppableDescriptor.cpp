// On Windows (and in WebAssembly) a descriptor's read or write is not waited
// on beside another handle: the stop takes effect at the next call.
#include "quorin/platform/StoppableDescriptor.h"

#include <cerrno>

#include "quorin/platform/SystemIo.h"

namespace quorin::platform {

StoppableDescriptor::StoppableDescriptor(int fd) : fd_(fd) {}

StoppableDescriptor::~StoppableDescriptor() = default;

void StoppableDescriptor::Stop() noexcept {
  stopped_ = true;
}

long StoppableDescriptor::ReadSome(void* buffer, std::size_t count) {
  if (!stopped_) return sysio::ReadSome(fd_, buffer, count);
  errno = ECANCELED;
  return -1;
}

long StoppableDescriptor::WriteSome(const void* buffer, std::size_t count) {
  if (!stopped_) return sysio::WriteSome(fd_, buffer, count);
  errno = ECANCELED;
  return -1;
}

}  // namespace quorin::platform
