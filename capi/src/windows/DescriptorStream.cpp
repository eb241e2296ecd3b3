// On Windows (and in WebAssembly) a descriptor's read or write is not waited on beside another
// handle: the stream reads and writes through the framework's handle
// stream, and Stop takes effect at the next call.
#include "../DescriptorStream.h"

#include "../Status.h"
#include "quorin/framework/HandleStream.h"

namespace quorin_capi {

DescriptorStream::DescriptorStream(int fd, std::string name) : fd_(fd), name_(std::move(name)) {}

DescriptorStream::~DescriptorStream() = default;

void DescriptorStream::Stop() noexcept {
  stopped_ = true;
}

std::int32_t DescriptorStream::Read(void* buffer, std::int32_t count) {
  if (stopped_) throw StatusError(QUORIN_CALLBACK_FAILED, "the caller stopped");
  const std::int32_t n = framework::THandleStream(fd_, name_).Read(buffer, count);
  position_ += n;
  return n;
}

std::int32_t DescriptorStream::Write(const void* buffer, std::int32_t count) {
  if (stopped_) throw StatusError(QUORIN_CALLBACK_FAILED, "the caller stopped");
  const std::int32_t n = framework::THandleStream(fd_, name_).Write(buffer, count);
  position_ += n;
  return n;
}

}  // namespace quorin_capi
