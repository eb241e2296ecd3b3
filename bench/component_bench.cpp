// The component's bulk operations in every mode: the work buffer, strings and
// streams.
#include <benchmark/benchmark.h>

#include <memory>

#include "quorin/Rc6.h"

namespace {

constexpr std::int32_t kChunk = 4096;

std::unique_ptr<Rc6::TQuorin> Make(int mode) {
  auto q = std::make_unique<Rc6::TQuorin>(nullptr);
  q->SetCipherMode(static_cast<Rc6::TCipherMode>(mode));
  q->SetKeySize(Rc6::TKeySize::Large256);
  q->InitialiseString("a benchmark key, thirty-two byte");
  q->LoadIVString("a benchmark iv!!");
  return q;
}

const char* kModeNames[] = {"ECB", "CBC", "CFB", "OFB"};

void Buffer(benchmark::State& state, bool encrypt) {
  auto q = Make(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    std::int32_t count = kChunk;
    benchmark::DoNotOptimize(encrypt ? q->EncryptBuffer(count) : q->DecryptBuffer(count));
  }
  state.SetLabel(kModeNames[state.range(0)]);
  state.SetBytesProcessed(state.iterations() * kChunk);
}
void Component_EncryptBuffer(benchmark::State& state) {
  Buffer(state, true);
}
void Component_DecryptBuffer(benchmark::State& state) {
  Buffer(state, false);
}
BENCHMARK(Component_EncryptBuffer)->DenseRange(0, 3);
BENCHMARK(Component_DecryptBuffer)->DenseRange(0, 3);

void Component_EncryptString(benchmark::State& state) {
  auto q = Make(1);
  q->SetStringMode(state.range(1) == 0 ? Rc6::TStringMode::smNormal : Rc6::TStringMode::smEncode);
  const std::string plain(static_cast<std::size_t>(state.range(0)), 'p');
  std::string out;
  for (auto _ : state) benchmark::DoNotOptimize(q->EncryptString(plain, out));
  state.SetLabel(state.range(1) == 0 ? "CBC raw" : "CBC armoured");
  state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(Component_EncryptString)->Args({64, 0})->Args({65536, 0})->Args({65536, 1});

void Component_EncryptStream(benchmark::State& state) {
  auto q = Make(static_cast<int>(state.range(0)));
  framework::TMemoryStream src, dst;
  const std::string data(1 << 20, 's');
  src.Write(data.data(), static_cast<std::int32_t>(data.size()));
  for (auto _ : state) {
    src.SetPosition(0);
    dst.SetPosition(0);
    benchmark::DoNotOptimize(q->EncryptStream(src, dst));
  }
  state.SetLabel(kModeNames[state.range(0)]);
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(data.size()));
}
BENCHMARK(Component_EncryptStream)->Arg(0)->Arg(1);

}  // namespace
