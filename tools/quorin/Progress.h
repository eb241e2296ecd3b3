// A source stream that counts what is read from it and shows the progress on
// standard error: percent done, speed and time left.
#pragma once

#include <chrono>
#include <string>

#include "framework/Stream.h"

namespace quorin {

class ProgressStream : public framework::TStream {
 public:
  ProgressStream(framework::TStream& source, bool show);
  ~ProgressStream() override;

  std::int32_t Read(void* buffer, std::int32_t count) override;
  std::int32_t Write(const void* buffer, std::int32_t count) override;
  std::int64_t Seek(std::int64_t offset, framework::TSeekOrigin origin) override;

  // Whether a progress line is worth showing by default for an input of this size.
  static bool Useful(std::int64_t size);

 private:
  void Show(bool final);

  framework::TStream& source_;
  bool show_;
  std::int64_t total_ = 0, done_ = 0;
  std::chrono::steady_clock::time_point start_, lastShown_;
};

}  // namespace quorin
