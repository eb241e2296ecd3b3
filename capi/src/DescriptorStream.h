// A caller's file descriptor as the stream a writer's or reader's thread
// writes or reads, which the caller's thread can stop while that thread
// waits on it (a pipe with no data yet, or no room): freeing a writer or
// reader never hangs on a descriptor.
#pragma once

#include <string>

#include "CallerStreams.h"
#include "quorin/platform/StoppableDescriptor.h"

namespace quorin_capi {

class DescriptorStream final : public ForwardStream {
 public:
  DescriptorStream(int fd, std::string name);

  // Fills count bytes, fewer only at the end of the input.
  std::int32_t Read(void* buffer, std::int32_t count) override;
  std::int32_t Write(const void* buffer, std::int32_t count) override;
  // From any thread: a wait under way, or any later one, throws
  // StatusError QUORIN_CALLBACK_FAILED at once.
  void Stop() noexcept;

 private:
  quorin::platform::StoppableDescriptor descriptor_;
  std::string name_;
};

}  // namespace quorin_capi
