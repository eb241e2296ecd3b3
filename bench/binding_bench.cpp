// What a call costs through the C interface, against the C++ API: a 16-byte
// block and a 1 MiB string (raw, CBC). The Python side is measured by
// bench/python_overhead.py on the same operations.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "quorin/Rc6.h"
#include "quorin/quorin.h"

namespace {

const std::string kKey = "a benchmark key, thirty-two byte";
const std::string kIV = "a benchmark iv!!";

void CppBlock(benchmark::State& state) {
  Rc6::TQuorin q(nullptr);
  q.SetCipherMode(Rc6::TCipherMode::CBC);
  q.InitialiseString(kKey);
  q.LoadIVString(kIV);
  Rc6::TBlock in{}, out{};
  for (auto _ : state) benchmark::DoNotOptimize(q.EncryptBlock(in, out));
}

void CBlock(benchmark::State& state) {
  quorin* q = quorin_new();
  quorin_set_mode(q, QUORIN_CBC);
  quorin_initialise(q, reinterpret_cast<const std::uint8_t*>(kKey.data()), kKey.size());
  quorin_load_iv(q, reinterpret_cast<const std::uint8_t*>(kIV.data()), kIV.size());
  std::uint8_t in[16] = {}, out[16];
  for (auto _ : state) benchmark::DoNotOptimize(quorin_encrypt_block(q, in, out));
  quorin_free(q);
}

void CppString(benchmark::State& state) {
  Rc6::TQuorin q(nullptr);
  q.SetCipherMode(Rc6::TCipherMode::CBC);
  q.SetStringMode(Rc6::TStringMode::smNormal);
  q.InitialiseString(kKey);
  q.LoadIVString(kIV);
  const std::string plain(1 << 20, 'p');
  std::string out;
  for (auto _ : state) benchmark::DoNotOptimize(q.EncryptString(plain, out));
  state.SetBytesProcessed(state.iterations() * (1 << 20));
}

void CString(benchmark::State& state) {
  quorin* q = quorin_new();
  quorin_set_mode(q, QUORIN_CBC);
  quorin_set_string_mode(q, QUORIN_STRING_NORMAL);
  quorin_initialise(q, reinterpret_cast<const std::uint8_t*>(kKey.data()), kKey.size());
  quorin_load_iv(q, reinterpret_cast<const std::uint8_t*>(kIV.data()), kIV.size());
  const std::vector<std::uint8_t> plain(1 << 20, 'p');
  std::vector<std::uint8_t> out((1 << 20) + 16);
  for (auto _ : state) {
    std::size_t len = out.size();
    benchmark::DoNotOptimize(
        quorin_encrypt_string(q, plain.data(), plain.size(), out.data(), &len));
  }
  state.SetBytesProcessed(state.iterations() * (1 << 20));
  quorin_free(q);
}

BENCHMARK(CppBlock)->Name("binding/block16/C++");
BENCHMARK(CBlock)->Name("binding/block16/C");
BENCHMARK(CppString)->Name("binding/string1MiB/C++");
BENCHMARK(CString)->Name("binding/string1MiB/C");

}  // namespace
