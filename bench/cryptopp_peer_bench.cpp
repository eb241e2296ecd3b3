// Crypto++'s RC6, for comparison.
#include <cryptopp/rc6.h>

#include "Rc6Bench.h"

namespace {

using namespace rc6bench;

void CryptoPP_EncryptBlocks(benchmark::State& state) {
  CryptoPP::RC6::Encryption enc(kKey.data(), 32);
  std::vector<std::uint8_t> data(kChunk, 1);
  for (auto _ : state) {
    enc.AdvancedProcessBlocks(data.data(), nullptr, data.data(), kChunk, 0);
    benchmark::DoNotOptimize(data.data());
  }
  SetBytes(state);
}
BENCHMARK(CryptoPP_EncryptBlocks);

void CryptoPP_DecryptBlocks(benchmark::State& state) {
  CryptoPP::RC6::Decryption dec(kKey.data(), 32);
  std::vector<std::uint8_t> data(kChunk, 1);
  for (auto _ : state) {
    dec.AdvancedProcessBlocks(data.data(), nullptr, data.data(), kChunk, 0);
    benchmark::DoNotOptimize(data.data());
  }
  SetBytes(state);
}
BENCHMARK(CryptoPP_DecryptBlocks);

void CryptoPP_KeySchedule(benchmark::State& state) {
  CryptoPP::RC6::Encryption enc;
  for (auto _ : state) {
    enc.SetKey(kKey.data(), 32);
    benchmark::DoNotOptimize(&enc);
  }
}
BENCHMARK(CryptoPP_KeySchedule);

}  // namespace
