#include "CallerStreams.h"

#include <algorithm>
#include <cstring>

#include "Status.h"

namespace quorin_capi {
namespace {

[[noreturn]] void WrongWay(const char* what) {
  throw StatusError(QUORIN_INTERNAL_ERROR, what);
}

}  // namespace

std::int64_t ForwardStream::Seek(std::int64_t offset, framework::TSeekOrigin origin) {
  if (offset == 0 && origin == framework::TSeekOrigin::soCurrent) return position_;
  throw StatusError(QUORIN_INTERNAL_ERROR, "a caller's stream cannot seek");
}

std::int32_t CallbackSource::Read(void* buffer, std::int32_t count) {
  auto* out = static_cast<std::uint8_t*>(buffer);
  std::int32_t got = 0;
  while (got < count && !ended_) {
    if (stopped_.load(std::memory_order_acquire))
      throw StatusError(QUORIN_CALLBACK_FAILED, "reading was stopped");
    const std::size_t asked = static_cast<std::size_t>(count - got);
    const std::ptrdiff_t n = read_(context_, out + got, asked);
    if (n < 0 || static_cast<std::size_t>(n) > asked)
      throw StatusError(QUORIN_CALLBACK_FAILED,
                        n < 0 ? "the read function reported a failure"
                              : "the read function returned more bytes than it was asked for");
    ended_ = n == 0;
    got += static_cast<std::int32_t>(n);
  }
  position_ += got;
  return got;
}

std::int32_t CallbackSource::Write(const void*, std::int32_t) {
  WrongWay("the input cannot be written");
}

std::int32_t CallbackSink::Read(void*, std::int32_t) {
  WrongWay("the output cannot be read");
}

std::int32_t CallbackSink::Write(const void* buffer, std::int32_t count) {
  if (count <= 0) return 0;
  if (write_(context_, static_cast<const std::uint8_t*>(buffer), static_cast<std::size_t>(count)) !=
      0)
    throw StatusError(QUORIN_CALLBACK_FAILED, "the write function reported a failure");
  position_ += count;
  return count;
}

std::int32_t BufferSource::Read(void* buffer, std::int32_t count) {
  if (count <= 0) return 0;
  const std::size_t at = static_cast<std::size_t>(position_);
  const std::size_t n = std::min(static_cast<std::size_t>(count), size_ - at);
  if (n > 0) std::memcpy(buffer, data_ + at, n);
  position_ += static_cast<std::int64_t>(n);
  return static_cast<std::int32_t>(n);
}

std::int32_t BufferSource::Write(const void*, std::int32_t) {
  WrongWay("the input cannot be written");
}

std::int32_t BufferSink::Read(void*, std::int32_t) {
  WrongWay("the output cannot be read");
}

std::int32_t BufferSink::Write(const void* buffer, std::int32_t count) {
  if (count <= 0) return 0;
  const std::size_t at = static_cast<std::size_t>(position_);
  if (static_cast<std::size_t>(count) > capacity_ - at)
    throw StatusError(QUORIN_BUFFER_TOO_SMALL, "the output buffer is too small");
  std::memcpy(data_ + at, buffer, static_cast<std::size_t>(count));
  position_ += count;
  return count;
}

}  // namespace quorin_capi
