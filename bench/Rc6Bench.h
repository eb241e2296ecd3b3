// Shared settings of the RC6 benchmarks.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

namespace rc6bench {

inline constexpr std::size_t kChunk = 4096;
inline const std::vector<std::uint8_t> kKey(32, 0x5A);

inline void SetBytes(benchmark::State& state) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(kChunk));
}

}  // namespace rc6bench
