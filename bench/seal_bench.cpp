// Sealing and opening between memory streams (format version 2, a key
// file), in every mode: the cipher and the tags without the file system.
// Run under `taskset -c 0` for one core.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "quorin/framework/Stream.h"
#include "quorin/quorin_sealed.h"
#include "quorin/seal/Incremental.h"
#include "quorin/seal/Seal.h"

namespace {

using namespace quorin::seal;

constexpr std::size_t kPlainBytes = 256 << 20;  // as the files beside age

// Reads a fixed buffer front to back; writes are counted and dropped.
class BufferStream : public framework::TStream {
 public:
  explicit BufferStream(const std::vector<std::uint8_t>* data = nullptr) : data_(data) {}
  std::int32_t Read(void* buffer, std::int32_t count) override {
    const std::size_t n =
        std::min<std::size_t>(static_cast<std::size_t>(count), data_->size() - at_);
    std::memcpy(buffer, data_->data() + at_, n);
    at_ += n;
    return static_cast<std::int32_t>(n);
  }
  std::int32_t Write(const void* buffer, std::int32_t count) override {
    if (kept_)
      kept_->insert(kept_->end(), static_cast<const std::uint8_t*>(buffer),
                    static_cast<const std::uint8_t*>(buffer) + count);
    return count;
  }
  std::int64_t Seek(std::int64_t, framework::TSeekOrigin) override { return 0; }
  void Keep(std::vector<std::uint8_t>* kept) { kept_ = kept; }

 private:
  const std::vector<std::uint8_t>* data_;
  std::size_t at_ = 0;
  std::vector<std::uint8_t>* kept_ = nullptr;
};

const Secret& Key() {
  static const Secret key = Secret::KeyFileBytes(std::vector<std::uint8_t>(32, 7));
  return key;
}

SealOptions InMode(std::int64_t mode) {
  SealOptions o;
  o.mode = static_cast<Mode>(mode);
  return o;
}

const char* kModeNames[] = {"", "CBC", "CFB", "OFB"};

void Seal_Stream(benchmark::State& state) {
  const std::vector<std::uint8_t> plain(kPlainBytes, 0x5a);
  for (auto _ : state) {
    BufferStream in(&plain), out;
    SealStream(in, out, Key(), InMode(state.range(0)));
  }
  state.SetLabel(kModeNames[state.range(0)]);
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(kPlainBytes));
}

void Open_Stream(benchmark::State& state) {
  const std::vector<std::uint8_t> plain(kPlainBytes, 0x5a);
  std::vector<std::uint8_t> sealed;
  BufferStream in(&plain), out;
  out.Keep(&sealed);
  SealStream(in, out, Key(), InMode(state.range(0)));
  for (auto _ : state) {
    BufferStream from(&sealed), to;
    OpenStream(from, to, Key());
  }
  state.SetLabel(kModeNames[state.range(0)]);
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(kPlainBytes));
}

// Pushed in pieces of 1 MiB (one core) or 4 MiB (enough for two).
void Seal_Pushed(benchmark::State& state) {
  const std::vector<std::uint8_t> plain(kPlainBytes, 0x5a);
  const std::size_t piece = static_cast<std::size_t>(state.range(1)) << 20;
  std::vector<std::uint8_t> out;
  for (auto _ : state) {
    const Secret* key[] = {&Key()};
    IncrementalSealer sealer(key, InMode(state.range(0)));
    out.resize(sealer.MostOutput(piece));
    for (std::size_t at = 0; at < plain.size(); at += piece)
      benchmark::DoNotOptimize(sealer.Update({plain.data() + at, piece}, out));
    benchmark::DoNotOptimize(sealer.Finish(out));
  }
  state.SetLabel(std::string(kModeNames[state.range(0)]) + ", pieces of " +
                 std::to_string(state.range(1)) + " MiB");
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(kPlainBytes));
}

// The C interface's callback forms (over the pushed engine), CBC, memory to
// memory: beside Seal_Stream/1 and Open_Stream/1.
struct Memory {
  const std::vector<std::uint8_t>* data;
  std::size_t at = 0;
  std::vector<std::uint8_t>* kept = nullptr;
};

ptrdiff_t ReadMemory(void* context, std::uint8_t* buffer, std::size_t len) {
  auto& m = *static_cast<Memory*>(context);
  const std::size_t n = std::min(len, m.data->size() - m.at);
  std::memcpy(buffer, m.data->data() + m.at, n);
  m.at += n;
  return static_cast<ptrdiff_t>(n);
}

int WriteMemory(void* context, const std::uint8_t* data, std::size_t len) {
  auto& m = *static_cast<Memory*>(context);
  if (m.kept != nullptr) m.kept->insert(m.kept->end(), data, data + len);
  return 0;
}

void C_Callbacks(benchmark::State& state) {
  const std::vector<std::uint8_t> plain(kPlainBytes, 0x5a), key(32, 7);
  quorin_secrets* s = quorin_secrets_new();
  quorin_secrets_add_key_file(s, key.data(), key.size());
  std::vector<std::uint8_t> sealed;
  Memory from{&plain}, to{nullptr, 0, &sealed};
  quorin_seal_stream(s, nullptr, ReadMemory, &from, WriteMemory, &to);
  const bool sealing = state.range(0) == 0;
  for (auto _ : state) {
    Memory in{sealing ? &plain : &sealed}, out{nullptr};
    const int status = sealing ? quorin_seal_stream(s, nullptr, ReadMemory, &in, WriteMemory, &out)
                               : quorin_open_stream(s, nullptr, ReadMemory, &in, WriteMemory, &out);
    if (status != QUORIN_OK) state.SkipWithError(quorin_last_error());
  }
  quorin_secrets_free(s);
  state.SetLabel(sealing ? "quorin_seal_stream, CBC" : "quorin_open_stream, CBC");
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(kPlainBytes));
}

void Open_Pushed(benchmark::State& state) {
  const std::vector<std::uint8_t> plain(kPlainBytes, 0x5a);
  std::vector<std::uint8_t> sealed;
  BufferStream in(&plain), to;
  to.Keep(&sealed);
  SealStream(in, to, Key(), InMode(state.range(0)));
  const std::size_t piece = static_cast<std::size_t>(state.range(1)) << 20;
  std::vector<std::uint8_t> out;
  for (auto _ : state) {
    const Secret* key[] = {&Key()};
    IncrementalOpener opener(key);
    out.resize(opener.MostOutput(piece));
    for (std::size_t at = 0; at < sealed.size(); at += piece) {
      const std::size_t n = std::min(piece, sealed.size() - at);
      if (out.size() < opener.MostOutput(n)) out.resize(opener.MostOutput(n));
      benchmark::DoNotOptimize(opener.Update({sealed.data() + at, n}, out));
    }
    if (out.size() < opener.MostOutput(0)) out.resize(opener.MostOutput(0));
    benchmark::DoNotOptimize(opener.Finish(out));
  }
  state.SetLabel(std::string(kModeNames[state.range(0)]) + ", pieces of " +
                 std::to_string(state.range(1)) + " MiB");
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(kPlainBytes));
}

BENCHMARK(Seal_Stream)->DenseRange(1, 3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(Open_Stream)->DenseRange(1, 3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(C_Callbacks)->DenseRange(0, 1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(Seal_Pushed)
    ->ArgsProduct({{1, 2, 3}, {1, 4}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(Open_Pushed)
    ->ArgsProduct({{1, 2, 3}, {1, 4}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
