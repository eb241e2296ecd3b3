// The RC6 core of this project: independent blocks (ECB) in 4096-byte chunks,
// and the key schedule. The peers are in the *_peer_bench.cpp files.
#include "Rc6Bench.h"
#include "cipher/Rc6.h"

namespace {

using namespace rc6bench;

void Quorin_EncryptBlocks(benchmark::State& state) {
  cipher::Rc6RoundKeys S;
  cipher::Rc6ExpandKey(kKey, S);
  std::vector<std::uint8_t> data(kChunk, 1);
  for (auto _ : state) {
    cipher::Rc6EncryptBlocks(S, data.data(), data.data(), kChunk / 16);
    benchmark::DoNotOptimize(data.data());
  }
  SetBytes(state);
}
BENCHMARK(Quorin_EncryptBlocks);

void Quorin_DecryptBlocks(benchmark::State& state) {
  cipher::Rc6RoundKeys S;
  cipher::Rc6ExpandKey(kKey, S);
  std::vector<std::uint8_t> data(kChunk, 1);
  for (auto _ : state) {
    cipher::Rc6DecryptBlocks(S, data.data(), data.data(), kChunk / 16);
    benchmark::DoNotOptimize(data.data());
  }
  SetBytes(state);
}
BENCHMARK(Quorin_DecryptBlocks);

void Quorin_KeySchedule(benchmark::State& state) {
  cipher::Rc6RoundKeys S;
  const std::span<const std::uint8_t> key(kKey.data(), static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    cipher::Rc6ExpandKey(key, S);
    benchmark::DoNotOptimize(S.data());
  }
}
BENCHMARK(Quorin_KeySchedule)->Arg(16)->Arg(24)->Arg(32);

}  // namespace
