#include "format/ArmourStreams.h"

#include <algorithm>
#include <cstring>

#include "drivers/SealCore.h"

namespace quorin::seal::detail {
namespace {

constexpr std::size_t kTextChunk = 1 << 16;

}  // namespace

std::int32_t ArmouringStream::Write(const void* data, std::int32_t count) {
  if (count <= 0) return 0;
  encoder_.Update({static_cast<const std::uint8_t*>(data), static_cast<std::size_t>(count)}, text_);
  Flush();
  return count;
}

std::int64_t ArmouringStream::Seek(std::int64_t, framework::TSeekOrigin) {
  throw framework::EStreamError(0, "armour is written front to back");
}

void ArmouringStream::Finish() {
  encoder_.Finish(text_);
  Flush();
}

void ArmouringStream::Flush() {
  WriteFully(dest_, reinterpret_cast<const std::uint8_t*>(text_.data()), text_.size());
  text_.clear();
}

DetectingSource::DetectingSource(framework::TStream& source, const std::string& name)
    : source_(source), decoder_(name) {
  leadSize_ = ReadFully(source_, lead_, sizeof lead_);
  // An empty input goes the binary way: the header's reader says what it is.
  armoured_ = leadSize_ > 0 && !BeginsBinary({lead_, leadSize_});
}

std::int64_t DetectingSource::Seek(std::int64_t, framework::TSeekOrigin) {
  throw framework::EStreamError(0, "a sealed input is read front to back");
}

std::int32_t DetectingSource::Read(void* buffer, std::int32_t count) {
  if (count <= 0) return 0;
  auto* out = static_cast<std::uint8_t*>(buffer);
  const auto want = static_cast<std::size_t>(count);
  if (!armoured_) {
    std::size_t n = std::min(want, leadSize_ - leadAt_);
    std::memcpy(out, lead_ + leadAt_, n);
    leadAt_ += n;
    if (n < want && leadSize_ == sizeof lead_)
      n += static_cast<std::size_t>(source_.Read(out + n, static_cast<std::int32_t>(want - n)));
    return static_cast<std::int32_t>(n);
  }
  // Returns what is decoded as soon as there is some: a reader waiting on a
  // pipe gets the header without waiting for more text than holds it.
  while (decoded_.size() == decodedAt_ && !ended_) {
    decoded_.clear(), decodedAt_ = 0;  // all of it was read
    if (leadAt_ < leadSize_) {
      decoder_.Update({lead_ + leadAt_, leadSize_ - leadAt_}, decoded_);
      leadAt_ = leadSize_;
      if (leadSize_ < sizeof lead_) {
        ended_ = true;
        decoder_.Finish(decoded_);
      }
      continue;
    }
    text_.resize(kTextChunk);
    const std::int32_t n = source_.Read(text_.data(), static_cast<std::int32_t>(kTextChunk));
    if (n <= 0) {
      ended_ = true;
      decoder_.Finish(decoded_);
    } else {
      decoder_.Update(
          {reinterpret_cast<const std::uint8_t*>(text_.data()), static_cast<std::size_t>(n)},
          decoded_);
    }
  }
  const std::size_t n = std::min(want, decoded_.size() - decodedAt_);
  std::memcpy(out, decoded_.data() + decodedAt_, n);
  decodedAt_ += n;
  return static_cast<std::int32_t>(n);
}

}  // namespace quorin::seal::detail
