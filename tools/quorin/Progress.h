// The progress line on standard error: percent done, speed and time left
// (for an input of unknown size, the amount done and the speed).
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

namespace quorin {

class Progress {
 public:
  // wanted: --progress / --no-progress; unset: shown for inputs of 64 MiB or
  // more when standard error is a terminal.
  Progress(std::optional<std::int64_t> total, std::optional<bool> wanted);
  ~Progress();
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  void Advance(std::size_t bytes);

 private:
  void Show(bool final);

  bool show_;
  std::optional<std::int64_t> total_;
  std::int64_t done_ = 0;
  std::chrono::steady_clock::time_point start_, lastShown_;
};

}  // namespace quorin
