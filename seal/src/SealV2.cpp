// Sealing in format version 2: a random file key wrapped for every
// recipient, an authenticated header, and chunks encrypted side by side.
#include <cstring>
#include <stdexcept>

#include "BackgroundWriter.h"
#include "BothCores.h"
#include "ChunkCipher.h"
#include "ChunkTag.h"
#include "PayloadKeys.h"
#include "SealCore.h"
#include "cipher/SecureWipe.h"

namespace quorin::seal::detail {
namespace {

constexpr std::size_t kBlock = ChunkCipher::kBlock;
constexpr std::size_t kTag = format::kTagBytes;
constexpr std::size_t kBatch = ChunkCipher::kMostPerBatch;

void CheckRecipients(Secrets secrets, const SealOptions& o) {
  if (secrets.empty() && o.recipients.empty())
    throw std::invalid_argument("a file is sealed for at least one secret or recipient");
  int passphrases = 0;
  for (const Secret* s : secrets) {
    if (s == nullptr) throw std::invalid_argument("a null secret");
    passphrases += s->Kind() == SecretKind::Passphrase;
  }
  if (passphrases > 1) throw std::invalid_argument("a file is sealed for one passphrase at most");
  if (secrets.size() + o.recipients.size() > format2::kMostStanzas)
    throw std::invalid_argument("a file is sealed for at most " +
                                std::to_string(format2::kMostStanzas) + " recipients");
  format::CheckOptions(o, passphrases ? SecretKind::Passphrase : SecretKind::KeyFile);
}

}  // namespace

WipedBuffer::~WipedBuffer() {
  cipher::SecureWipe(data(), touched_);
}

void SealV2With(framework::TStream& source, framework::TStream& dest, Secrets secrets,
                const SealOptions& o, const RandomFill& random, std::uint32_t chunkBytes,
                const std::vector<format2::Stanza>& leading) {
  CheckRecipients(secrets, o);
  SecureBuffer fileKey(kFileKeyBytes);
  random(fileKey.data(), fileKey.size());
  format2::Header h{o.mode, o.keyBits, chunkBytes, {}, leading};
  random(h.nonce.data(), h.nonce.size());
  for (const Secret* s : secrets) h.stanzas.push_back(WrapForSecret(*s, o.costs, fileKey, random));
  for (const Recipient& r : o.recipients) h.stanzas.push_back(WrapForRecipient(r, fileKey, random));

  const PayloadKeys keys = DerivePayloadKeys(fileKey, h.nonce, h.keyBits);
  const std::vector<std::uint8_t> header = format2::Encode(h);
  const MacValue headerMac =
      Mac(std::span{keys.headerMac.data(), keys.headerMac.size()}).Of({header});
  WriteFully(dest, header.data(), header.size());
  WriteFully(dest, headerMac.data(), headerMac.size());

  const ChunkCipher cipher(h.mode, keys.encryption);
  const Mac tagKey({keys.tag.data(), keys.tag.size()});
  const std::size_t stored = chunkBytes + kTag;
  if (chunkBytes > format2::kLargestChunk) throw std::invalid_argument("chunks of at most 1 MiB");
  const std::size_t perCore = ChunkCipher::ChunksPerCore(chunkBytes), batch = 2 * perCore;
  WipedBuffer plain(batch * chunkBytes);
  // Two: one is written while the next batch is sealed into the other.
  ByteBuffer sealedBuffers[2] = {ByteBuffer(batch * stored), ByteBuffer(batch * stored)};
  ChunkCipher::Piece pieces[kBatch];
  BackgroundWriter writer(dest);
  for (std::uint64_t index = 0, turn = 0;; ++turn) {
    ByteBuffer& sealed = sealedBuffers[turn % 2];
    const std::size_t n = ReadFully(source, plain.data(), plain.size());
    plain.Touched(n + kBlock);
    // A short read ends the input; its last chunk holds the 0 to C-1 bytes
    // after the last full chunk, and the padding.
    const bool final = n < plain.size();
    const std::size_t full = n / chunkBytes;
    const std::size_t count = full + (final ? 1 : 0);
    for (std::size_t k = 0; k < count; ++k) {
      std::size_t blocks = chunkBytes / kBlock;
      if (k == full) {
        const std::size_t rest = n - full * chunkBytes;
        const std::size_t pad = kBlock - rest % kBlock;
        std::memset(plain.data() + k * chunkBytes + rest, static_cast<int>(pad), pad);
        blocks = (rest + pad) / kBlock;
      }
      pieces[k] = {plain.data() + k * chunkBytes, sealed.data() + k * stored, blocks, {}};
      ChunkIV(keys.iv, index + k, pieces[k].iv.data());
    }
    // Every chunk before the last is full, so the stored chunks lie end to end.
    const auto encryptAndTag = [&](std::size_t from, std::size_t to) {
      cipher.Encrypt({pieces + from, to - from});
      for (std::size_t k = from; k < to; ++k) {
        const std::size_t length = pieces[k].blocks * kBlock;
        const Tag tag =
            ChunkTag(tagKey, headerMac, index + k, final && k + 1 == count, pieces[k].out, length);
        std::memcpy(pieces[k].out + length, tag.data(), kTag);
      }
    };
    const std::size_t half = std::min(count, perCore);
    OnBothCores([&] { encryptAndTag(0, half); }, [&] { encryptAndTag(half, count); });
    const std::size_t out = (count - 1) * stored + pieces[count - 1].blocks * kBlock + kTag;
    writer.Write(sealed.data(), out);
    index += count;
    if (final) return writer.Finish();
  }
}

}  // namespace quorin::seal::detail
