// Sealing and opening between memory streams (format version 2, a key
// file), in every mode: the cipher and the tags without the file system.
// Run under `taskset -c 0` for one core.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "quorin/framework/Stream.h"
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

BENCHMARK(Seal_Stream)->DenseRange(1, 3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(Open_Stream)->DenseRange(1, 3)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
