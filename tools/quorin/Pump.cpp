#include "Pump.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "Commands.h"
#include "Errors.h"

namespace quorin {
namespace {

constexpr std::size_t kChunk = Rc6::TQuorin::ChunkSize;
constexpr std::size_t kBlock = Rc6::TQuorin::BlockSize;

void Check(std::int32_t status, const std::string& what, bool armoured = false) {
  if (status != 0) throw CommandError(StatusMessage(status, what, armoured));
}

}  // namespace

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

void EncryptAll(Rc6::TQuorin& q, ByteSource& in, ByteSink& out, Progress& progress) {
  std::uint8_t* buffer = q.Buffer().data();
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
                const std::string& what, bool armoured) {
  std::uint8_t* buffer = q.Buffer().data();
  // One chunk is read ahead: the final chunk is known only once the next read comes back empty.
  std::array<std::uint8_t, kChunk> ahead;
  std::size_t n = in.Read(buffer, kChunk);
  for (;;) {
    if (n == 0 || n % kBlock != 0) Check(Rc6::TStatus::BadCiphertext, what, armoured);
    const std::size_t next = n == kChunk ? in.Read(ahead.data(), kChunk) : 0;
    progress.Advance(n);
    Check(q.DecryptBuffer(static_cast<std::int32_t>(n)), what);
    if (next == 0) {
      const std::size_t pad = StrictPadLength(buffer, n);
      if (pad == 0)
        throw CommandError("cannot decrypt " + what +
                           ": the key, IV, mode or key size is wrong, or the file is damaged");
      out.Write(buffer, n - pad);
      return;
    }
    out.Write(buffer, n);
    std::memcpy(buffer, ahead.data(), next);
    n = next;
  }
}

}  // namespace quorin
