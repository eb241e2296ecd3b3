// Opening format version 2: the file key from the first stanza a given
// secret opens, the header's MAC, then the chunks, each released only
// after its tag matched.
#include <cstring>
#include <limits>
#include <optional>

#include "BackgroundWriter.h"
#include "BothCores.h"
#include "ChunkCheck.h"
#include "ChunkCipher.h"
#include "PayloadKeys.h"
#include "SealCore.h"
#include "quorin/framework/MemoryStream.h"

namespace quorin::seal::detail {
namespace {

constexpr std::size_t kBlock = ChunkCipher::kBlock;
constexpr std::size_t kTag = format::kTagBytes;
constexpr std::size_t kBatch = ChunkCipher::kMostPerBatch;

format2::Header Reparse(const std::vector<std::uint8_t>& raw, const std::string& name) {
  constexpr std::size_t kLead = format::kMagicBytes + 2;
  framework::TMemoryStream rest;
  rest.Write(raw.data() + kLead, static_cast<std::int32_t>(raw.size() - kLead));
  rest.Seek(0, framework::TSeekOrigin::soBeginning);
  std::vector<std::uint8_t> again(raw.begin(), raw.begin() + kLead);
  // The limits were checked when the header was first read.
  const OpenOptions unlimited{std::numeric_limits<std::uint32_t>::max(),
                              std::numeric_limits<std::uint64_t>::max()};
  return format2::Read(rest, again, unlimited, name);
}

SecureBuffer FileKey(const format2::Header& h, Secrets secrets, const std::string& name) {
  for (const format2::Stanza& stanza : h.stanzas)
    for (const Secret* secret : secrets)
      if (std::optional<SecureBuffer> key = Unwrap(stanza, *secret)) return std::move(*key);
  throw AuthenticationError("cannot open " + name +
                            ": no passphrase, key file or identity given opens it (or its "
                            "header was altered)");
}

}  // namespace

void OpenV2(framework::TStream& source, framework::TStream& dest,
            const std::vector<std::uint8_t>& raw, Secrets secrets, const std::string& name) {
  const format2::Header h = Reparse(raw, name);
  const PayloadKeys keys = DerivePayloadKeys(FileKey(h, secrets, name), h.nonce, h.keyBits);
  const std::span<const std::uint8_t> covered{raw.data(), raw.size() - kMacBytes};
  const MacValue headerMac = Mac({keys.headerMac.data(), keys.headerMac.size()}).Of({covered});
  if (!MacMatches(headerMac, raw.data() + covered.size()))
    throw AuthenticationError(name +
                              "'s header was altered: a recipient stanza opened with the "
                              "secret given, but the header's MAC does not match");

  const ChunkCipher cipher(h.mode, keys.encryption);
  const Mac tagKey({keys.tag.data(), keys.tag.size()});
  const std::size_t chunk = h.chunkBytes, stored = chunk + kTag;
  const ChunkCheck check(
      [&](std::uint64_t index, bool last, const std::uint8_t* data, std::size_t size) {
        return ChunkTag(tagKey, headerMac, index, last, data, size);
      },
      name, raw.size(), stored, true);
  // `batch` stored chunks at a time and one more read ahead: a chunk is the
  // last when the input ends after its tag.
  const std::size_t perCore = ChunkCipher::ChunksPerCore(chunk), batch = 2 * perCore;
  ByteBuffer in((batch + 1) * stored);
  // Two: one is written while the next batch is opened into the other.
  WipedBuffer outBuffers[2] = {WipedBuffer((batch + 1) * chunk), WipedBuffer((batch + 1) * chunk)};
  ChunkCipher::Piece pieces[kBatch + 1];
  BackgroundWriter writer(dest);
  std::size_t have = 0;
  for (std::uint64_t index = 0, turn = 0;; ++turn) {
    WipedBuffer& out = outBuffers[turn % 2];
    have += ReadFully(source, in.data() + have, in.size() - have);
    if (have == 0) throw TruncatedError(name + " is truncated: it has a header but no sealed data");
    const bool final = have < in.size();
    const std::size_t count = final ? (have + stored - 1) / stored : batch;
    out.Touched(count * chunk);
    // Every tag of a half is checked before any of its chunks is decrypted,
    // and nothing of the batch is released unless both halves' tags matched.
    const auto checkAndDecrypt = [&](std::size_t from, std::size_t to) {
      for (std::size_t k = from; k < to; ++k) {
        const bool last = final && k + 1 == count;
        const std::size_t size = std::min(stored, have - k * stored);
        const std::size_t length = check.Verify(in.data() + k * stored, size, index + k, last);
        pieces[k] = {in.data() + k * stored, out.data() + k * chunk, length / kBlock, {}};
        ChunkIV(keys.iv, index + k, pieces[k].iv.data());
      }
      cipher.Decrypt({pieces + from, to - from});
    };
    const std::size_t half = std::min(count, count > batch ? perCore + 1 : perCore);
    OnBothCores([&] { checkAndDecrypt(0, half); }, [&] { checkAndDecrypt(half, count); });
    std::size_t release = (count - 1) * chunk + pieces[count - 1].blocks * kBlock;
    if (final) {
      const std::size_t pad = StrictPadLength(out.data(), release);
      if (pad == 0)
        throw AuthenticationError(name +
                                  "'s padding is invalid under a matching tag: it was "
                                  "not sealed by quorin");
      release -= pad;
    }
    writer.Write(out.data(), release);
    if (final) return writer.Finish();
    have -= batch * stored;
    std::memmove(in.data(), in.data() + batch * stored, have);
    index += batch;
  }
}

}  // namespace quorin::seal::detail
