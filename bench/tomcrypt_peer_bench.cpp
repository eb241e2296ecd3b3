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
  const int bytes = static_cast<int>(state.range(0));
  for (auto _ : state) {
    rc6_setup(kKey.data(), bytes, 20, &skey);
    benchmark::DoNotOptimize(&skey);
  }
}
BENCHMARK(Libtomcrypt_KeySchedule)->Arg(16)->Arg(24)->Arg(32);

// One block per call, as a program encrypting single blocks calls it.
void Libtomcrypt_EncryptBlock(benchmark::State& state) {
  symmetric_key skey;
  rc6_setup(kKey.data(), 32, 20, &skey);
  std::uint8_t in[16] = {1}, out[16];
  for (auto _ : state) {
    rc6_ecb_encrypt(in, out, &skey);
    benchmark::DoNotOptimize(out);
  }
}
BENCHMARK(Libtomcrypt_EncryptBlock);

}  // namespace

// libtomcrypt's chaining modes over 4 KiB, beside the component's work buffer.
namespace {

enum class TomMode { CBC, CFB, OFB };

template <TomMode M, bool Encrypt>
void LibtomcryptMode(benchmark::State& state) {
  static const int cipher = register_cipher(&rc6_desc) == -1 ? -1 : find_cipher("rc6");
  std::vector<std::uint8_t> data(kChunk, 1), iv(16, 7);
  symmetric_CBC cbc;
  symmetric_CFB cfb;
  symmetric_OFB ofb;
  if constexpr (M == TomMode::CBC) cbc_start(cipher, iv.data(), kKey.data(), 32, 20, &cbc);
  if constexpr (M == TomMode::CFB) cfb_start(cipher, iv.data(), kKey.data(), 32, 20, &cfb);
  if constexpr (M == TomMode::OFB) ofb_start(cipher, iv.data(), kKey.data(), 32, 20, &ofb);
  const unsigned long n = kChunk;
  for (auto _ : state) {
    std::uint8_t* p = data.data();
    if constexpr (M == TomMode::CBC)
      Encrypt ? cbc_encrypt(p, p, n, &cbc) : cbc_decrypt(p, p, n, &cbc);
    if constexpr (M == TomMode::CFB)
      Encrypt ? cfb_encrypt(p, p, n, &cfb) : cfb_decrypt(p, p, n, &cfb);
    if constexpr (M == TomMode::OFB)
      Encrypt ? ofb_encrypt(p, p, n, &ofb) : ofb_decrypt(p, p, n, &ofb);
    benchmark::DoNotOptimize(data.data());
  }
  SetBytes(state);
}
BENCHMARK(LibtomcryptMode<TomMode::CBC, true>)->Name("Libtomcrypt_Encrypt/CBC");
BENCHMARK(LibtomcryptMode<TomMode::CBC, false>)->Name("Libtomcrypt_Decrypt/CBC");
BENCHMARK(LibtomcryptMode<TomMode::CFB, true>)->Name("Libtomcrypt_Encrypt/CFB");
BENCHMARK(LibtomcryptMode<TomMode::CFB, false>)->Name("Libtomcrypt_Decrypt/CFB");
BENCHMARK(LibtomcryptMode<TomMode::OFB, true>)->Name("Libtomcrypt_Encrypt/OFB");
BENCHMARK(LibtomcryptMode<TomMode::OFB, false>)->Name("Libtomcrypt_Decrypt/OFB");

}  // namespace
