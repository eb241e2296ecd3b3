// Crypto++'s RC6, for comparison.
#include <cryptopp/modes.h>
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
  const auto bytes = static_cast<std::size_t>(state.range(0));
  for (auto _ : state) {
    enc.SetKey(kKey.data(), bytes);
    benchmark::DoNotOptimize(&enc);
  }
}
BENCHMARK(CryptoPP_KeySchedule)->Arg(16)->Arg(24)->Arg(32);

void CryptoPP_EncryptBlock(benchmark::State& state) {
  CryptoPP::RC6::Encryption enc(kKey.data(), 32);
  std::uint8_t in[16] = {1}, out[16];
  for (auto _ : state) {
    enc.ProcessBlock(in, out);
    benchmark::DoNotOptimize(out);
  }
}
BENCHMARK(CryptoPP_EncryptBlock);

}  // namespace

// Crypto++'s chaining modes over 4 KiB, beside the component's work buffer.
namespace {

template <class Mode>
void CryptoPPMode(benchmark::State& state) {
  const std::vector<std::uint8_t> iv(16, 7);
  Mode mode(kKey.data(), 32, iv.data());
  std::vector<std::uint8_t> data(kChunk, 1);
  for (auto _ : state) {
    mode.ProcessData(data.data(), data.data(), kChunk);
    benchmark::DoNotOptimize(data.data());
  }
  SetBytes(state);
}
BENCHMARK(CryptoPPMode<CryptoPP::CBC_Mode<CryptoPP::RC6>::Encryption>)
    ->Name("CryptoPP_Encrypt/CBC");
BENCHMARK(CryptoPPMode<CryptoPP::CBC_Mode<CryptoPP::RC6>::Decryption>)
    ->Name("CryptoPP_Decrypt/CBC");
BENCHMARK(CryptoPPMode<CryptoPP::CFB_Mode<CryptoPP::RC6>::Encryption>)
    ->Name("CryptoPP_Encrypt/CFB");
BENCHMARK(CryptoPPMode<CryptoPP::CFB_Mode<CryptoPP::RC6>::Decryption>)
    ->Name("CryptoPP_Decrypt/CFB");
BENCHMARK(CryptoPPMode<CryptoPP::OFB_Mode<CryptoPP::RC6>::Encryption>)
    ->Name("CryptoPP_Encrypt/OFB");
BENCHMARK(CryptoPPMode<CryptoPP::OFB_Mode<CryptoPP::RC6>::Decryption>)
    ->Name("CryptoPP_Decrypt/OFB");

}  // namespace
