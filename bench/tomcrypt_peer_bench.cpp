// libtomcrypt's RC6, for comparison.
#include <tomcrypt.h>

#include "Rc6Bench.h"

namespace {

using namespace rc6bench;

void Libtomcrypt_EncryptBlocks(benchmark::State& state) {
  symmetric_key skey;
  rc6_setup(kKey.data(), 32, 20, &skey);
  std::vector<std::uint8_t> data(kChunk, 1);
  for (auto _ : state) {
    for (std::size_t i = 0; i < kChunk; i += 16)
      rc6_ecb_encrypt(data.data() + i, data.data() + i, &skey);
    benchmark::DoNotOptimize(data.data());
  }
  SetBytes(state);
}
BENCHMARK(Libtomcrypt_EncryptBlocks);

void Libtomcrypt_DecryptBlocks(benchmark::State& state) {
  symmetric_key skey;
  rc6_setup(kKey.data(), 32, 20, &skey);
  std::vector<std::uint8_t> data(kChunk, 1);
  for (auto _ : state) {
    for (std::size_t i = 0; i < kChunk; i += 16)
      rc6_ecb_decrypt(data.data() + i, data.data() + i, &skey);
    benchmark::DoNotOptimize(data.data());
  }
  SetBytes(state);
}
BENCHMARK(Libtomcrypt_DecryptBlocks);

void Libtomcrypt_KeySchedule(benchmark::State& state) {
  symmetric_key skey;
  for (auto _ : state) {
    rc6_setup(kKey.data(), 32, 20, &skey);
    benchmark::DoNotOptimize(&skey);
  }
}
BENCHMARK(Libtomcrypt_KeySchedule);

}  // namespace
