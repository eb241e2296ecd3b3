#include "BytePipe.h"

#include <algorithm>
#include <cstring>

#include "Status.h"
#include "quorin/platform/Wipe.h"

namespace quorin_capi {

BytePipe::BytePipe(std::size_t capacity) : ring_(capacity) {}

// Plaintext passes through the ring.
BytePipe::~BytePipe() {
  quorin::platform::Wipe(ring_.data(), ring_.size());
}

// Each side wakes the other only when it waits and can go on, and the
// writer waits for half the ring to be free: the two threads hand over large
// pieces instead of waking each other for every read.
bool BytePipe::Put(const std::uint8_t* data, std::size_t size) {
  std::unique_lock<std::mutex> hold(lock_);
  while (size > 0) {
    const std::size_t wanted = std::min(size, ring_.size() / 2);
    if (!stopped_ && ring_.size() - size_ < wanted) {
      ++putsWaiting_;
      changed_.wait(hold, [&] { return stopped_ || ring_.size() - size_ >= wanted; });
      --putsWaiting_;
    }
    if (stopped_) return false;
    const std::size_t tail = (head_ + size_) % ring_.size();
    const std::size_t n = std::min({size, ring_.size() - size_, ring_.size() - tail});
    std::memcpy(ring_.data() + tail, data, n);
    size_ += n;
    data += n;
    size -= n;
    if (takesWaiting_ > 0) changed_.notify_all();
  }
  return true;
}

std::size_t BytePipe::Take(std::uint8_t* out, std::size_t size) {
  std::unique_lock<std::mutex> hold(lock_);
  if (!stopped_ && size_ == 0 && !closed_) {
    ++takesWaiting_;
    changed_.wait(hold, [&] { return stopped_ || size_ > 0 || closed_; });
    --takesWaiting_;
  }
  if (stopped_) return 0;
  std::size_t taken = 0;
  while (taken < size && size_ > 0) {
    const std::size_t n = std::min({size - taken, size_, ring_.size() - head_});
    std::memcpy(out + taken, ring_.data() + head_, n);
    head_ = (head_ + n) % ring_.size();
    size_ -= n;
    taken += n;
  }
  if (putsWaiting_ > 0) changed_.notify_all();
  return taken;
}

void BytePipe::Close() {
  const std::lock_guard<std::mutex> hold(lock_);
  closed_ = true;
  changed_.notify_all();
}

void BytePipe::Stop() {
  const std::lock_guard<std::mutex> hold(lock_);
  stopped_ = true;
  changed_.notify_all();
}

bool BytePipe::Stopped() const {
  const std::lock_guard<std::mutex> hold(lock_);
  return stopped_;
}

namespace {

[[noreturn]] void Stopped() {
  throw StatusError(QUORIN_CALLBACK_FAILED, "the caller stopped");
}

[[noreturn]] void WrongWay() {
  throw StatusError(QUORIN_INTERNAL_ERROR, "a pipe runs one way");
}

}  // namespace

std::int32_t PipeSource::Read(void* buffer, std::int32_t count) {
  auto* out = static_cast<std::uint8_t*>(buffer);
  std::int32_t got = 0;
  while (got < count) {
    const std::size_t n = pipe_.Take(out + got, static_cast<std::size_t>(count - got));
    if (n == 0) {
      if (pipe_.Stopped()) Stopped();
      break;
    }
    got += static_cast<std::int32_t>(n);
  }
  position_ += got;
  return got;
}

std::int32_t PipeSource::Write(const void*, std::int32_t) {
  WrongWay();
}

std::int32_t PipeSink::Read(void*, std::int32_t) {
  WrongWay();
}

std::int32_t PipeSink::Write(const void* buffer, std::int32_t count) {
  if (count <= 0) return 0;
  if (!pipe_.Put(static_cast<const std::uint8_t*>(buffer), static_cast<std::size_t>(count)))
    Stopped();
  position_ += count;
  return count;
}

}  // namespace quorin_capi
