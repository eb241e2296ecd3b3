// A stream taken in batches by up to two workers, one a core: batch b is
// read after batch b-1 was read and written after batch b-1 was written,
// while the work between (ciphering and tags) runs beside the other
// worker's, so that neither core waits for input or output. Each worker
// has buffers of its own: memory is two batches, however long the stream.
// One worker (one usable core, or no thread to be had) reads, works and
// writes in turn.
#pragma once

#include <cstdint>
#include <functional>

namespace quorin::seal {

struct BatchSteps {
  // Reads batch `batch` into worker `worker`'s buffers; true when the input
  // ended in it, so that it is the last.
  std::function<bool(unsigned worker, std::uint64_t batch)> read;
  std::function<void(unsigned worker, std::uint64_t batch)> work;
  std::function<void(unsigned worker, std::uint64_t batch)> write;
};

inline constexpr unsigned kMostWorkers = 2;

// Runs batches until the last is written. The first failure in batch order
// is rethrown, once both workers stopped; nothing after a failed batch is
// written, as when the batches run one after another.
void RunBatches(const BatchSteps& steps);

}  // namespace quorin::seal
