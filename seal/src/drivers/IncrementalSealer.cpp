// Sealing pushed plaintext in format version 2. A full chunk is never the
// last one (the last holds the 0 to C-1 bytes after the last full chunk,
// and the padding), so every full chunk is sealed as soon as it is
// complete; only a partial chunk waits for more.
#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

#include "chunks/ChunkRun.h"
#include "chunks/SplitRun.h"
#include "drivers/SealCore.h"
#include "keys/PayloadKeys.h"
#include "quorin/platform/Random.h"
#include "quorin/seal/Armour.h"
#include "quorin/seal/Incremental.h"

namespace quorin::seal {
namespace {

constexpr std::size_t kBlock = ChunkCipher::kBlock;
constexpr std::size_t kTag = kChunkTagBytes;
constexpr std::size_t kChunk = format::kChunkBytes;
constexpr std::size_t kStored = kChunk + kTag;

// The header, with a fresh file key wrapped for every secret and recipient.
struct Sealing {
  explicit Sealing(Secrets secrets, const SealOptions& o) : fileKey(kFileKeyBytes) {
    detail::CheckRecipients(secrets, o);
    if (o.formatVersion != 2)
      throw std::invalid_argument("pushed input is sealed in format version 2 only");
    platform::RandomBytes(fileKey.data(), fileKey.size());
    header = {o.mode, o.keyBits, kChunk, {}, {}};
    platform::RandomBytes(header.nonce.data(), header.nonce.size());
    for (const Secret* s : secrets)
      header.stanzas.push_back(WrapForSecret(*s, o.costs, fileKey, platform::RandomBytes));
    for (const Recipient& r : o.recipients)
      header.stanzas.push_back(WrapForRecipient(r, fileKey, platform::RandomBytes));
  }
  SecureBuffer fileKey;
  format2::Header header;
};

}  // namespace

struct IncrementalSealer::State {
  State(Sealing sealing, bool armoured)
      : armour(armoured),
        head(format2::Encode(sealing.header)),
        run(RunFor(sealing, head)),
        tag(run.Tagger()),
        partial(kChunk) {}

  // The payload's chunks; the header's MAC is appended to `head`.
  static ChunkRun RunFor(const Sealing& sealing, std::vector<std::uint8_t>& head) {
    PayloadKeys keys =
        DerivePayloadKeys(sealing.fileKey, sealing.header.nonce, sealing.header.keyBits);
    const MacValue mac = Mac({keys.headerMac.data(), keys.headerMac.size()}).Of({head});
    head.insert(head.end(), mac.begin(), mac.end());
    return ChunkRun(sealing.header.mode, kChunk, head.size(), std::move(keys), mac);
  }

  // Seals `count` chunks of `blocks` blocks each (the last may be shorter)
  // from `in` to `out`, side by side.
  void Seal(const std::uint8_t* in, std::size_t count, std::size_t lastBlocks, bool final,
            std::uint8_t* out) {
    run.SealAt(in, count, lastBlocks, final, index, tag, out);
    index += count;
  }
  // Full chunks straight from the caller's buffer; enough of them are split
  // between this thread and a second core, the first half on the helper.
  void SealFullChunks(const std::uint8_t* in, std::size_t count, std::uint8_t* out) {
    if (!TwoCoresFor(second, count)) {
      run.SealFull(in, count, index, tag, out);
    } else {
      if (!helperTag) run.Tagger(helperTag);
      SplitHalves(*second, count, [&](std::size_t from, std::size_t n, bool onHelper) {
        run.SealFull(in + from * kChunk, n, index + from, onHelper ? *helperTag : tag,
                     out + from * kStored);
      });
    }
    index += count;
  }

  std::size_t Header(std::uint8_t* out) {
    if (headerSent) return 0;
    headerSent = true;
    std::memcpy(out, head.data(), head.size());
    return head.size();
  }

  void Usable() const {
    if (finished) throw std::logic_error("the sealer was finished");
  }
  // Whether chunks may be sealed elsewhere now.
  void Splittable() const {
    Usable();
    if (armour || !headerSent || held != 0)
      throw std::invalid_argument(
          "chunks are sealed elsewhere only after the header, between whole chunks, without "
          "armour");
  }

  std::size_t MostBinary(std::size_t inputBytes) const;
  std::size_t Update(std::span<const std::uint8_t> plain, std::span<std::uint8_t> out);
  std::size_t Finish(std::span<std::uint8_t> out);
  // The text of these sealed bytes, into out.
  std::size_t Armoured(std::span<const std::uint8_t> bytes, std::span<std::uint8_t> out,
                       bool final);

  bool armour;
  ArmourEncoder encoder;
  std::vector<std::uint8_t> binary;  // with armour: the sealed bytes of a call
  std::string text;
  std::vector<std::uint8_t> head;  // the header and its MAC
  ChunkRun run;
  ChunkAuthenticator tag;
  SecureBuffer partial;                          // plaintext of the chunk being filled
  std::unique_ptr<platform::SecondCore> second;  // made for the first update large enough
  std::optional<ChunkAuthenticator> helperTag;   // the second core's
  std::size_t held = 0;
  std::uint64_t index = 0;
  bool headerSent = false, finished = false;
};

IncrementalSealer::IncrementalSealer(Secrets secrets, const SealOptions& options)
    : state_(std::make_unique<State>(Sealing(secrets, options), options.armour)) {}

IncrementalSealer::~IncrementalSealer() = default;

namespace {

constexpr std::size_t kMost = std::numeric_limits<std::size_t>::max();

}  // namespace

std::size_t IncrementalSealer::State::MostBinary(std::size_t inputBytes) const {
  // A length no buffer could hold answers SIZE_MAX, which no caller has room for.
  const std::size_t header = headerSent ? 0 : head.size();
  if (inputBytes > kMost - kChunk - held) return kMost;
  const std::size_t chunks = (held + inputBytes) / kChunk + 1;
  if (chunks > (kMost - header) / kStored) return kMost;
  return header + chunks * kStored;
}

std::size_t IncrementalSealer::MostOutput(std::size_t inputBytes) const {
  const std::size_t binary = state_->MostBinary(inputBytes);
  if (!state_->armour) return binary;
  return binary > kMost / 2 ? kMost : ArmourEncoder::MostText(binary);
}

std::size_t IncrementalSealer::Update(std::span<const std::uint8_t> plain,
                                      std::span<std::uint8_t> out) {
  State& s = *state_;
  s.Usable();
  if (out.size() < MostOutput(plain.size()))
    throw std::invalid_argument("the output has less room than MostOutput asks for");
  if (!s.armour) return s.Update(plain, out);
  s.binary.resize(s.MostBinary(plain.size()));
  const std::size_t n = s.Update(plain, s.binary);
  return s.Armoured(std::span(s.binary).first(n), out, false);
}

std::size_t IncrementalSealer::Finish(std::span<std::uint8_t> out) {
  State& s = *state_;
  s.Usable();
  if (out.size() < MostOutput(0))
    throw std::invalid_argument("the output has less room than MostOutput asks for");
  if (!s.armour) return s.Finish(out);
  s.binary.resize(s.MostBinary(0));
  const std::size_t n = s.Finish(s.binary);
  return s.Armoured(std::span(s.binary).first(n), out, true);
}

std::size_t IncrementalSealer::ChunkKeys(std::span<std::uint8_t, kChunkKeysBytes> out) const {
  const State& s = *state_;
  s.Splittable();
  s.run.Export(out);
  return kChunk;
}

void IncrementalSealer::Skip(std::uint64_t chunks) {
  State& s = *state_;
  s.Splittable();
  s.index += chunks;
}

std::size_t IncrementalSealer::State::Armoured(std::span<const std::uint8_t> bytes,
                                               std::span<std::uint8_t> out, bool final) {
  text.clear();
  encoder.Update(bytes, text);
  if (final) encoder.Finish(text);
  std::memcpy(out.data(), text.data(), text.size());
  return text.size();
}

std::size_t IncrementalSealer::State::Update(std::span<const std::uint8_t> plain,
                                             std::span<std::uint8_t> out) {
  State& s = *this;
  std::size_t written = s.Header(out.data());
  if (s.held > 0) {
    const std::size_t n = std::min(plain.size(), kChunk - s.held);
    if (n > 0) std::memcpy(s.partial.data() + s.held, plain.data(), n);
    s.held += n;
    plain = plain.subspan(n);
    if (s.held < kChunk) return written;
    s.Seal(s.partial.data(), 1, kChunk / kBlock, false, out.data() + written);
    written += kStored;
    s.held = 0;
  }
  const std::size_t full = plain.size() / kChunk;
  s.SealFullChunks(plain.data(), full, out.data() + written);
  written += full * kStored;
  plain = plain.subspan(full * kChunk);
  if (!plain.empty()) std::memcpy(s.partial.data(), plain.data(), plain.size());
  s.held = plain.size();
  return written;
}

std::size_t IncrementalSealer::State::Finish(std::span<std::uint8_t> out) {
  State& s = *this;
  std::size_t written = s.Header(out.data());
  const std::size_t pad = kBlock - s.held % kBlock;
  std::memset(s.partial.data() + s.held, static_cast<int>(pad), pad);
  s.Seal(s.partial.data(), 1, (s.held + pad) / kBlock, true, out.data() + written);
  written += s.held + pad + kTag;
  s.finished = true;
  return written;
}

}  // namespace quorin::seal
