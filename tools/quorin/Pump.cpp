#include "Pump.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "Commands.h"
#include "Errors.h"

namespace quorin {
namespace {

constexpr std::size_t kChunk = Rc6::TQuorin::ChunkSize;
constexpr std::size_t kBlock = Rc6::TQuorin::BlockSize;

void Check(std::int32_t status, const std::string& what, bool armoured = false) {
  if (status != 0) throw CommandError(StatusMessage(status, what, armoured));
}

// Chunks read, transformed and written together on two cores: 1 MiB.
constexpr std::size_t kGroup = 256;

// Whole chunks at data, in place, through q's work buffer one by one. The
// counts are whole chunks and the instance is keyed: no status can fail.
void ThroughBuffer(Rc6::TQuorin& q, std::uint8_t* data, std::size_t chunks, bool encrypt) noexcept {
  std::uint8_t* buffer = q.Buffer().data();
  for (std::size_t i = 0; i < chunks; ++i) {
    std::memcpy(buffer, data + i * kChunk, kChunk);
    encrypt ? q.EncryptBuffer(kChunk) : q.DecryptBuffer(kChunk);
    std::memcpy(data + i * kChunk, buffer, kChunk);
  }
}

// Reads whole chunks into stage until it holds `room` of them or a read
// comes back short (the input's end); the whole chunks read, and in `rest`
// the short read's count.
std::size_t ReadChunks(ByteSource& in, std::uint8_t* stage, std::size_t have, std::size_t room,
                       std::size_t& rest) {
  rest = kChunk;
  while (have < room && (rest = in.Read(stage + have * kChunk, kChunk)) == kChunk) ++have;
  return have;
}

// The final chunk, in the work buffer: decrypted, its padding checked
// strictly and dropped, written.
void DecryptFinal(Rc6::TQuorin& q, std::size_t n, ByteSink& out, const std::string& what) {
  std::uint8_t* buffer = q.Buffer().data();
  Check(q.DecryptBuffer(static_cast<std::int32_t>(n)), what);
  const std::size_t pad = StrictPadLength(buffer, n);
  if (pad == 0)
    throw CommandError("cannot decrypt " + what +
                       ": the key, IV, mode or key size is wrong, or the file is damaged");
  out.Write(buffer, n - pad);
}

}  // namespace

TwoCores::TwoCores(std::unique_ptr<Rc6::TQuorin> helper, bool chained)
    : helper_(std::move(helper)),
      chained_(chained),
      core_(std::make_unique<platform::SecondCore>(true)) {}

TwoCores::~TwoCores() = default;

bool TwoCores::Available() const {
  return core_->Available();
}

void TwoCores::Transform(Rc6::TQuorin& q, std::uint8_t* data, std::size_t chunks, bool encrypt) {
  if (chunks < 2) {
    ThroughBuffer(q, data, chunks, encrypt);
    if (chunks == 1) std::memcpy(previous_.data(), data - kBlock + kChunk, kBlock);
    first_ = first_ && chunks == 0;
    return;
  }
  // The helper takes the first half from the chain q stands at; q the rest,
  // from the first half's last ciphertext block (read before either half
  // overwrites it). Only decryption chains here, so ciphertext is the input.
  const std::size_t half = chunks / 2;
  Rc6::TBlock middle{}, last{};
  std::memcpy(middle.data(), data + half * kChunk - kBlock, kBlock);
  std::memcpy(last.data(), data + chunks * kChunk - kBlock, kBlock);
  if (chained_ && !first_) helper_->LoadIVByte(previous_, kBlock);
  struct Head {
    Rc6::TQuorin* q;
    std::uint8_t* data;
    std::size_t chunks;
    bool encrypt;
  } head{helper_.get(), data, half, encrypt};
  core_->Run(
      [](void* h) noexcept {
        const auto& w = *static_cast<Head*>(h);
        ThroughBuffer(*w.q, w.data, w.chunks, w.encrypt);
      },
      &head,
      [&] {
        if (chained_ && half > 0) q.LoadIVByte(middle, kBlock);
        ThroughBuffer(q, data + half * kChunk, chunks - half, encrypt);
      });
  previous_ = last;
  first_ = false;
}

std::size_t MemorySource::Read(std::uint8_t* buffer, std::size_t count) {
  const std::size_t n = std::min(count, data_.size() - at_);
  std::memcpy(buffer, data_.data() + at_, n);
  at_ += n;
  return n;
}

std::size_t StrictPadLength(const std::uint8_t* chunk, std::size_t length) {
  if (length == 0) return 0;
  const std::size_t pad = chunk[length - 1];
  if (pad < 1 || pad > kBlock || pad > length) return 0;
  for (std::size_t i = length - pad; i < length; ++i)
    if (chunk[i] != pad) return 0;
  return pad;
}

void EncryptAll(Rc6::TQuorin& q, ByteSource& in, ByteSink& out, Progress& progress, TwoCores* two) {
  std::uint8_t* buffer = q.Buffer().data();
  if (two != nullptr && two->Available()) {
    // Groups of whole chunks; the short read that ends the input is the
    // final chunk, padded through the work buffer below.
    std::vector<std::uint8_t> stage(kGroup * kChunk);
    for (;;) {
      std::size_t rest = 0;
      const std::size_t whole = ReadChunks(in, stage.data(), 0, kGroup, rest);
      progress.Advance(whole * kChunk + (rest < kChunk ? rest : 0));
      two->Transform(q, stage.data(), whole, true);
      out.Write(stage.data(), whole * kChunk);
      if (rest == kChunk) continue;
      std::memcpy(buffer, stage.data() + whole * kChunk, rest);
      const std::size_t pad = kBlock - rest % kBlock;
      std::memset(buffer + rest, static_cast<int>(pad), pad);
      Check(q.EncryptBuffer(static_cast<std::int32_t>(rest + pad)), "the input");
      out.Write(buffer, rest + pad);
      return;
    }
  }
  for (;;) {
    std::size_t n = in.Read(buffer, kChunk);
    progress.Advance(n);
    // Only a short read ends the input: a final full chunk is followed by a
    // chunk of padding alone, as in the stream operation.
    const bool last = n < kChunk;
    if (last) {
      const std::size_t pad = kBlock - n % kBlock;
      std::memset(buffer + n, static_cast<int>(pad), pad);
      n += pad;
    }
    Check(q.EncryptBuffer(static_cast<std::int32_t>(n)), "the input");
    out.Write(buffer, n);
    if (last) return;
  }
}

void DecryptAll(Rc6::TQuorin& q, ByteSource& in, ByteSink& out, Progress& progress,
                const std::string& what, bool armoured, TwoCores* two) {
  std::uint8_t* buffer = q.Buffer().data();
  if (two != nullptr && two->Available()) {
    // Groups of whole chunks, with one more read ahead: the final chunk is
    // known only once the input ends, and goes through the work buffer.
    std::vector<std::uint8_t> stage((kGroup + 1) * kChunk);
    std::size_t have = 0, rest = 0;
    while ((have = ReadChunks(in, stage.data(), have, kGroup + 1, rest)) == kGroup + 1) {
      progress.Advance(kGroup * kChunk);
      two->Transform(q, stage.data(), kGroup, false);
      out.Write(stage.data(), kGroup * kChunk);
      std::memcpy(stage.data(), stage.data() + kGroup * kChunk, kChunk);
      have = 1;
    }
    // The final chunk: the short read's bytes, or else the last whole chunk.
    const std::size_t whole = rest > 0 || have == 0 ? have : have - 1;
    const std::size_t n = rest > 0 || have == 0 ? rest : kChunk;
    if (n == 0 || n % kBlock != 0) Check(Rc6::TStatus::BadCiphertext, what, armoured);
    progress.Advance(whole * kChunk + n);
    two->Transform(q, stage.data(), whole, false);
    out.Write(stage.data(), whole * kChunk);
    std::memcpy(buffer, stage.data() + whole * kChunk, n);
    DecryptFinal(q, n, out, what);
    return;
  }
  // One chunk is read ahead: the final chunk is known only once the next read comes back empty.
  std::array<std::uint8_t, kChunk> ahead;
  std::size_t n = in.Read(buffer, kChunk);
  for (;;) {
    if (n == 0 || n % kBlock != 0) Check(Rc6::TStatus::BadCiphertext, what, armoured);
    const std::size_t next = n == kChunk ? in.Read(ahead.data(), kChunk) : 0;
    progress.Advance(n);
    if (next == 0) {
      DecryptFinal(q, n, out, what);
      return;
    }
    Check(q.DecryptBuffer(static_cast<std::int32_t>(n)), what);
    out.Write(buffer, n);
    std::memcpy(buffer, ahead.data(), next);
    n = next;
  }
}

}  // namespace quorin
