// Writes one batch to the output on a thread of its own while the next
// batch is computed. Writes keep their order: each waits for the one before,
// and a failed write is rethrown by the next call. The caller must leave a
// buffer untouched until the write after it was started (it alternates two).
#pragma once

#include <cstddef>
#include <cstdint>
#include <future>

#include "quorin/framework/Stream.h"

namespace quorin::seal {

class BackgroundWriter {
 public:
  explicit BackgroundWriter(framework::TStream& dest) : dest_(dest) {}
  BackgroundWriter(const BackgroundWriter&) = delete;
  BackgroundWriter& operator=(const BackgroundWriter&) = delete;
  ~BackgroundWriter();

  void Write(const std::uint8_t* data, std::size_t size);
  // Waits for the last write; rethrows its failure.
  void Finish();

 private:
  framework::TStream& dest_;
  std::future<void> pending_;
};

}  // namespace quorin::seal
