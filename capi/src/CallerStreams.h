// Streams over what a C caller hands in: read and write functions with
// their context pointers, and memory buffers. Sealing and opening see them
// as any other stream; they read front to back and never seek.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "quorin/framework/Stream.h"
#include "quorin/quorin_sealed.h"

namespace quorin_capi {

// A stream that cannot seek: it reports its position, nothing more.
class ForwardStream : public framework::TStream {
 public:
  std::int64_t Seek(std::int64_t offset, framework::TSeekOrigin origin) override;

 protected:
  std::int64_t position_ = 0;
};

// Reads through the caller's function until Count bytes or its end; a
// failure it reports (or a count it cannot have read) throws StatusError
// QUORIN_CALLBACK_FAILED.
class CallbackSource final : public ForwardStream {
 public:
  CallbackSource(quorin_read_fn read, void* context) : read_(read), context_(context) {}
  std::int32_t Read(void* buffer, std::int32_t count) override;
  std::int32_t Write(const void* buffer, std::int32_t count) override;
  // From any thread: the function is called no more (a call under way
  // finishes); the next read throws QUORIN_CALLBACK_FAILED.
  void Stop() noexcept { stopped_.store(true, std::memory_order_release); }

 private:
  quorin_read_fn read_;
  void* context_;
  bool ended_ = false;
  std::atomic<bool> stopped_{false};
};

class CallbackSink final : public ForwardStream {
 public:
  CallbackSink(quorin_write_fn write, void* context) : write_(write), context_(context) {}
  std::int32_t Read(void* buffer, std::int32_t count) override;
  std::int32_t Write(const void* buffer, std::int32_t count) override;

 private:
  quorin_write_fn write_;
  void* context_;
};

// The caller's bytes, read in place.
class BufferSource final : public ForwardStream {
 public:
  BufferSource(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::int32_t Read(void* buffer, std::int32_t count) override;
  std::int32_t Write(const void* buffer, std::int32_t count) override;

 private:
  const std::uint8_t* data_;
  std::size_t size_;
};

// Writes into the caller's buffer; more than it holds throws
// StatusError QUORIN_BUFFER_TOO_SMALL.
class BufferSink final : public ForwardStream {
 public:
  BufferSink(std::uint8_t* data, std::size_t capacity) : data_(data), capacity_(capacity) {}
  std::int32_t Read(void* buffer, std::int32_t count) override;
  std::int32_t Write(const void* buffer, std::int32_t count) override;
  std::size_t Written() const { return static_cast<std::size_t>(position_); }

 private:
  std::uint8_t* data_;
  std::size_t capacity_;
};

}  // namespace quorin_capi
