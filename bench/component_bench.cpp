// The component's bulk operations in every mode: the work buffer, strings and
// streams.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "quorin/Rc6.h"
#include "quorin/platform/OneCore.h"
#include "quorin/platform/SettleDisk.h"

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

// The modes that take a second core (ECB both ways, CBC and CFB decryption),
// confined to one core (third argument 1) and free (2).
void SplittingModesOnOneCoreAndAll(benchmark::internal::Benchmark* b) {
  for (const auto& [mode, encrypt] : {std::pair{0, 1}, {0, 0}, {1, 0}, {2, 0}})
    for (const int cores : {1, 2}) b->Args({mode, encrypt, cores});
  b->UseRealTime()->Unit(benchmark::kMillisecond);
}

// Memory streams of 64 MiB, each mode and direction.
void Component_Stream(benchmark::State& state) {
  const int mode = static_cast<int>(state.range(0));
  const bool encrypt = state.range(1) == 1;
  auto q = Make(mode);
  constexpr std::int64_t kSize = std::int64_t{64} << 20;
  framework::TMemoryStream src, dst;
  const std::string data(kSize, 's');
  src.Write(data.data(), static_cast<std::int32_t>(data.size()));
  if (!encrypt) {  // decrypt what was encrypted, so that the padding is valid
    src.SetPosition(0);
    q->EncryptStream(src, dst);
    src.SetSize(0);
    src.Write(dst.Memory(), static_cast<std::int32_t>(dst.GetSize()));
  }
  dst.SetSize(kSize + 16);  // the destination's memory is in place before timing starts
  for (auto _ : state) {
    src.SetPosition(0);
    dst.SetPosition(0);
    q->LoadIVString("a benchmark iv!!");
    benchmark::DoNotOptimize(encrypt ? q->EncryptStream(src, dst) : q->DecryptStream(src, dst));
  }
  state.SetLabel(kModeNames[mode]);
  state.SetBytesProcessed(state.iterations() * kSize);
}
BENCHMARK(Component_Stream)->ArgsProduct({{0, 1, 2, 3}, {0, 1}})->Unit(benchmark::kMillisecond);

// The modes that split a large stream's cipher work over two cores, confined
// to one core (third argument 1) and free (2), as Component_FileCores.
void Component_StreamCores(benchmark::State& state) {
  std::optional<quorin::platform::OneCore> confined;
  if (state.range(2) == 1) confined.emplace();
  Component_Stream(state);
  state.SetLabel(std::string(kModeNames[state.range(0)]) +
                 (state.range(2) == 1 ? ", one core" : ", all cores"));
}
BENCHMARK(Component_StreamCores)->Apply(SplittingModesOnOneCoreAndAll);

// Strings of 1 MiB (raw, no armour), each mode and direction.
void Component_String(benchmark::State& state) {
  const int mode = static_cast<int>(state.range(0));
  const bool encrypt = state.range(1) == 1;
  auto q = Make(mode);
  q->SetStringMode(Rc6::TStringMode::smNormal);
  std::string in(1 << 20, 'p'), out;
  if (!encrypt) {
    q->EncryptString(in, out);
    in = out;
  }
  for (auto _ : state) {
    q->LoadIVString("a benchmark iv!!");
    benchmark::DoNotOptimize(encrypt ? q->EncryptString(in, out) : q->DecryptString(in, out));
  }
  state.SetLabel(kModeNames[mode]);
  state.SetBytesProcessed(state.iterations() * (std::int64_t{1} << 20));
}
BENCHMARK(Component_String)->ArgsProduct({{0, 1, 2, 3}, {0, 1}});

// Files of 256 MiB in the page cache, each mode and direction.
struct BenchFiles {
  std::string plain, sealed, out;
  BenchFiles() {
    const auto dir = std::filesystem::temp_directory_path();
    const auto tag = std::to_string(::getpid());
    plain = (dir / ("quorin-bench-plain-" + tag)).string();
    sealed = (dir / ("quorin-bench-cipher-" + tag)).string();
    out = (dir / ("quorin-bench-out-" + tag)).string();
    std::ofstream f(plain, std::ios::binary);
    const std::string mib(1 << 20, 'f');
    for (int i = 0; i < 256; ++i) f << mib;
  }
  ~BenchFiles() {
    for (const auto& p : {plain, sealed, out}) std::filesystem::remove(p);
  }
};

// One file operation per iteration. The output is a new file each time, or
// the previous run's output, truncated when opened. Some file systems (ext4)
// write a file truncated and rewritten out to disk when it is closed, so
// that a crash cannot leave it empty: the second form then measures the disk
// as well.
void FileRun(benchmark::State& state, bool newOutput) {
  static BenchFiles files;
  const int mode = static_cast<int>(state.range(0));
  const bool encrypt = state.range(1) == 1;
  auto q = Make(mode);
  if (!encrypt) q->EncryptFile(files.plain, files.sealed);
  // One call untimed: the first output's pages come from memory the page
  // cache must first give back. Then the files' writing out to disk must not
  // run into the timed calls.
  encrypt ? q->EncryptFile(files.plain, files.out) : q->DecryptFile(files.sealed, files.out);
  quorin::platform::SettleDisk();
  for (auto _ : state) {
    if (newOutput) {
      state.PauseTiming();
      std::filesystem::remove(files.out);
      state.ResumeTiming();
    }
    q->LoadIVString("a benchmark iv!!");
    benchmark::DoNotOptimize(encrypt ? q->EncryptFile(files.plain, files.out)
                                     : q->DecryptFile(files.sealed, files.out));
  }
  state.SetLabel(kModeNames[mode]);
  state.SetBytesProcessed(state.iterations() * (std::int64_t{256} << 20));
}

// A new output (third argument 1) or the previous one overwritten (0).
void Component_File(benchmark::State& state) {
  FileRun(state, state.range(2) == 1);
}
BENCHMARK(Component_File)
    ->ArgsProduct({{0, 1, 2, 3}, {0, 1}, {1, 0}})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// The modes that split a large file's cipher work over two cores, confined
// to one core (third argument 1) and free to use every core the process may
// (2): ECB both ways, CBC and CFB decryption. A new output each time (see
// above); with TMPDIR=/dev/shm no disk takes part.
void Component_FileCores(benchmark::State& state) {
  std::optional<quorin::platform::OneCore> confined;
  if (state.range(2) == 1) confined.emplace();
  FileRun(state, true);
  state.SetLabel(std::string(kModeNames[state.range(0)]) +
                 (state.range(2) == 1 ? ", one core" : ", all cores"));
}
BENCHMARK(Component_FileCores)->Apply(SplittingModesOnOneCoreAndAll);

// InitialiseByte, per key size.
void Component_KeySetup(benchmark::State& state) {
  Rc6::TQuorin q(nullptr);
  const auto bytes = static_cast<std::int32_t>(state.range(0));
  q.SetKeySize(bytes == 16   ? Rc6::TKeySize::Small128
               : bytes == 24 ? Rc6::TKeySize::Med192
                             : Rc6::TKeySize::Large256);
  const std::vector<std::uint8_t> key(32, 0x5A);
  for (auto _ : state) benchmark::DoNotOptimize(q.InitialiseByte(key, bytes));
}
BENCHMARK(Component_KeySetup)->Arg(16)->Arg(24)->Arg(32);

// EncryptBlock, one block per call.
void Component_EncryptBlock(benchmark::State& state) {
  auto q = Make(0);
  Rc6::TBlock in{1}, out;
  for (auto _ : state) {
    q->EncryptBlock(in, out);
    benchmark::DoNotOptimize(out.data());
  }
}
BENCHMARK(Component_EncryptBlock);

}  // namespace
