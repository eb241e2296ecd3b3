#include "Progress.h"

#include <unistd.h>

#include <cmath>
#include <cstdio>

namespace quorin {

ProgressStream::ProgressStream(framework::TStream& source, bool show)
    : source_(source), show_(show), start_(std::chrono::steady_clock::now()), lastShown_(start_) {
  if (show_) total_ = source_.GetSize() - source_.Position();
}

ProgressStream::~ProgressStream() {
  if (show_ && done_ > 0) Show(true);
}

bool ProgressStream::Useful(std::int64_t size) {
  return size >= (std::int64_t{64} << 20) && ::isatty(STDERR_FILENO);
}

std::int32_t ProgressStream::Read(void* buffer, std::int32_t count) {
  const std::int32_t n = source_.Read(buffer, count);
  done_ += n;
  if (show_ && std::chrono::steady_clock::now() - lastShown_ >= std::chrono::milliseconds(250))
    Show(false);
  return n;
}

std::int32_t ProgressStream::Write(const void* buffer, std::int32_t count) {
  return source_.Write(buffer, count);
}

std::int64_t ProgressStream::Seek(std::int64_t offset, framework::TSeekOrigin origin) {
  return source_.Seek(offset, origin);
}

void ProgressStream::Show(bool final) {
  const auto now = std::chrono::steady_clock::now();
  lastShown_ = now;
  const double seconds = std::chrono::duration<double>(now - start_).count();
  const double mib = static_cast<double>(done_) / (1 << 20);
  const double speed = seconds > 0 ? mib / seconds : 0;
  const double percent =
      total_ > 0 ? 100.0 * static_cast<double>(done_) / static_cast<double>(total_) : 100.0;
  const double left = speed > 0 ? (static_cast<double>(total_ - done_) / (1 << 20)) / speed : 0;
  const long leftSeconds = std::lround(left);
  std::fprintf(stderr, "\r%5.1f%%  %8.1f MiB/s  %ld:%02ld left ", percent, speed, leftSeconds / 60,
               leftSeconds % 60);
  if (final) std::fprintf(stderr, "\n");
  std::fflush(stderr);
}

}  // namespace quorin
