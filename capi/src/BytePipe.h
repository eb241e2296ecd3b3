// A bounded pipe of bytes between the caller's thread and the thread that
// seals or opens: memory stays at its capacity whatever passes through.
// Either end may stop it; the other end then learns so at its next wait.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

#include "CallerStreams.h"

namespace quorin_capi {

class BytePipe {
 public:
  explicit BytePipe(std::size_t capacity);
  ~BytePipe();
  BytePipe(const BytePipe&) = delete;
  BytePipe& operator=(const BytePipe&) = delete;

  // Puts all of data in, waiting for room; false when the reading end has
  // stopped (nothing more will be taken).
  bool Put(const std::uint8_t* data, std::size_t size);
  // Takes up to size bytes, waiting for at least one; 0 once the writing
  // end has closed and all was taken, or the pipe was stopped.
  std::size_t Take(std::uint8_t* out, std::size_t size);
  // The writing end: no more bytes will come.
  void Close();
  // Either end: stop; waiting calls return at once.
  void Stop();
  bool Stopped() const;

 private:
  mutable std::mutex lock_;
  std::condition_variable changed_;
  std::vector<std::uint8_t> ring_;
  std::size_t head_ = 0, size_ = 0;
  bool closed_ = false, stopped_ = false;
  // How many threads wait on each side: a count, not a flag, so that one
  // waiter leaving never hides another that still waits.
  int putsWaiting_ = 0, takesWaiting_ = 0;
};

// The pipe's reading end as a stream, for the sealing thread: Read fills
// Count bytes or stops at the end; a stopped pipe throws.
class PipeSource final : public ForwardStream {
 public:
  explicit PipeSource(BytePipe& pipe) : pipe_(pipe) {}
  std::int32_t Read(void* buffer, std::int32_t count) override;
  std::int32_t Write(const void* buffer, std::int32_t count) override;

 private:
  BytePipe& pipe_;
};

// The pipe's writing end as a stream, for the opening thread; a stopped
// pipe throws.
class PipeSink final : public ForwardStream {
 public:
  explicit PipeSink(BytePipe& pipe) : pipe_(pipe) {}
  std::int32_t Read(void* buffer, std::int32_t count) override;
  std::int32_t Write(const void* buffer, std::int32_t count) override;

 private:
  BytePipe& pipe_;
};

}  // namespace quorin_capi
