// Opening format version 2: the file key from the first stanza a given
// secret opens, the header's MAC, then the chunks, each released only
// after its tag matched.
#include <cstring>
#include <limits>
#include <memory>
#include <optional>

#include "chunks/BatchPipeline.h"
#include "chunks/ChunkAuthenticator.h"
#include "chunks/ChunkCheck.h"
#include "chunks/ChunkCipher.h"
#include "drivers/SealCore.h"
#include "keys/PayloadKeys.h"
#include "keys/UnlockV2.h"
#include "quorin/framework/MemoryStream.h"

namespace quorin::seal::detail {
namespace {

constexpr std::size_t kBlock = ChunkCipher::kBlock;
constexpr std::size_t kTag = kChunkTagBytes;
constexpr std::size_t kLanes = ChunkCipher::kLanes;

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

UnlockedV2 UnlockV2(const std::vector<std::uint8_t>& raw, Secrets secrets,
                    const std::string& name) {
  format2::Header h = Reparse(raw, name);
  PayloadKeys keys = DerivePayloadKeys(FileKey(h, secrets, name), h.nonce, h.keyBits);
  const std::span<const std::uint8_t> covered{raw.data(), raw.size() - kMacBytes};
  const MacValue headerMac = Mac({keys.headerMac.data(), keys.headerMac.size()}).Of({covered});
  if (!MacMatches(headerMac, raw.data() + covered.size()))
    throw AuthenticationError(name +
                              "'s header was altered: a recipient stanza opened with the "
                              "secret given, but the header's MAC does not match");
  return {std::move(h), std::move(keys), headerMac};
}

void OpenV2(framework::TStream& source, framework::TStream& dest,
            const std::vector<std::uint8_t>& raw, Secrets secrets, const std::string& name) {
  const UnlockedV2 unlocked = UnlockV2(raw, secrets, name);
  const format2::Header& h = unlocked.header;
  const PayloadKeys& keys = unlocked.keys;
  const MacValue& headerMac = unlocked.headerMac;
  const ChunkCipher cipher(h.mode, keys.encryption);
  const std::size_t chunk = h.chunkBytes, stored = chunk + kTag;
  // A batch is `batch` stored chunks and one byte more, if the input has
  // it: a chunk is the last when the input ends after its tag. The byte
  // read ahead starts the next batch.
  const std::size_t batch = ChunkCipher::ChunksPerBatch(chunk), span = batch * stored;
  struct Worker {
    Worker(const PayloadKeys& keys, const MacValue& headerMac, std::size_t inBytes,
           std::size_t outBytes, const std::string& name, std::size_t headerBytes,
           std::size_t stored)
        : tag(keys.tag, headerMac),
          check(
              [this](std::uint64_t index, bool last, const std::uint8_t* data, std::size_t size,
                     const std::uint8_t* storedTag) {
                return tag.Matches(index, last, data, size, storedTag);
              },
              kTag, name, headerBytes, stored, true),
          in(inBytes),
          out(outBytes) {}
    ChunkAuthenticator tag;
    const ChunkCheck check;
    ByteBuffer in;
    WipedBuffer out;
    ChunkCipher::Piece pieces[kLanes];
    std::size_t have = 0, release = 0;
    bool final = false;
  };
  std::unique_ptr<Worker> workers[kMostWorkers];
  for (auto& w : workers)
    w = std::make_unique<Worker>(keys, headerMac, span + 1, span, name, raw.size(), stored);
  std::optional<std::uint8_t> ahead;  // only touched in reading order
  RunBatches({
      .read =
          [&](unsigned w, std::uint64_t b) {
            Worker& k = *workers[w];
            std::size_t have = 0;
            if (ahead) k.in.data()[have++] = *ahead;
            have += ReadFully(source, k.in.data() + have, k.in.size() - have);
            if (have == 0 && b == 0)
              throw TruncatedError(name + " is truncated: it has a header but no sealed data");
            k.final = have <= span;
            ahead.reset();
            if (!k.final) ahead = k.in.data()[--have];
            k.have = have;
            return k.final;
          },
      .work =
          [&](unsigned w, std::uint64_t b) {
            Worker& k = *workers[w];
            const std::uint64_t first = b * batch;
            const std::size_t count = (k.have + stored - 1) / stored;
            k.out.Touched(count * chunk);
            // A chunk is decrypted only after its tag matched, and nothing of a
            // batch is written unless all its tags matched.
            for (std::size_t c = 0; c < count; ++c) {
              const bool last = k.final && c + 1 == count;
              const std::size_t size = std::min(stored, k.have - c * stored);
              const std::size_t length =
                  k.check.Verify(k.in.data() + c * stored, size, first + c, last);
              k.pieces[c] = {
                  k.in.data() + c * stored, k.out.data() + c * chunk, length / kBlock, {}};
              ChunkIV(keys.iv, first + c, k.pieces[c].iv.data());
              if (cipher.DecryptsChunksWhole()) cipher.Decrypt({&k.pieces[c], 1});
            }
            if (!cipher.DecryptsChunksWhole()) cipher.Decrypt({k.pieces, count});
            k.release = (count - 1) * chunk + k.pieces[count - 1].blocks * kBlock;
            if (k.final) Unpad(k.out.data(), k.release, name);
          },
      .write =
          [&](unsigned w, std::uint64_t) {
            Worker& k = *workers[w];
            WriteFully(dest, k.out.data(), k.release);
          },
  });
}

}  // namespace quorin::seal::detail
