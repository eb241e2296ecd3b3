#include "Progress.h"

#include <cmath>
#include <cstdio>

#include "quorin/platform/Files.h"

namespace quorin {

Progress::Progress(std::optional<std::int64_t> total, std::optional<bool> wanted)
    : show_(wanted.has_value() ? *wanted
                               : total.has_value() && *total >= (std::int64_t{64} << 20) &&
                                     platform::IsTerminal(2)),
      total_(total),
      start_(std::chrono::steady_clock::now()),
      lastShown_(start_) {}

Progress::~Progress() {
  if (show_ && done_ > 0) Show(true);
}

void Progress::Advance(std::size_t bytes) {
  done_ += static_cast<std::int64_t>(bytes);
  if (show_ && std::chrono::steady_clock::now() - lastShown_ >= std::chrono::milliseconds(250))
    Show(false);
}

void Progress::Show(bool final) {
  const auto now = std::chrono::steady_clock::now();
  lastShown_ = now;
  const double seconds = std::chrono::duration<double>(now - start_).count();
  const double mib = static_cast<double>(done_) / (1 << 20);
  const double speed = seconds > 0 ? mib / seconds : 0;
  if (total_.has_value()) {
    const double total = static_cast<double>(*total_);
    const double percent = total > 0 ? 100.0 * static_cast<double>(done_) / total : 100.0;
    const double left = speed > 0 ? ((total - static_cast<double>(done_)) / (1 << 20)) / speed : 0;
    const long leftSeconds = std::lround(left > 0 ? left : 0);
    std::fprintf(stderr, "\r%5.1f%%  %8.1f MiB/s  %ld:%02ld left ", percent, speed,
                 leftSeconds / 60, leftSeconds % 60);
  } else {
    std::fprintf(stderr, "\r%10.1f MiB  %8.1f MiB/s ", mib, speed);
  }
  if (final) std::fprintf(stderr, "\n");
  std::fflush(stderr);
}

}  // namespace quorin
