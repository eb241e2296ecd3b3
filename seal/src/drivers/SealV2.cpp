// Sealing in format version 2: a random file key wrapped for every
// recipient, an authenticated header, and chunks encrypted side by side.
#include <cstring>
#include <memory>
#include <stdexcept>

#include "chunks/BatchPipeline.h"
#include "chunks/ChunkAuthenticator.h"
#include "chunks/ChunkCipher.h"
#include "drivers/SealCore.h"
#include "keys/PayloadKeys.h"
#include "quorin/platform/Wipe.h"

namespace quorin::seal::detail {
namespace {

constexpr std::size_t kBlock = ChunkCipher::kBlock;
constexpr std::size_t kTag = kChunkTagBytes;
constexpr std::size_t kLanes = ChunkCipher::kLanes;

}  // namespace

void CheckPassphrases(Secrets secrets) {
  for (const Secret* s : secrets)
    if (s != nullptr && s->Kind() == SecretKind::Passphrase &&
        s->Bytes().size() > kLargestPassphrase)
      throw std::invalid_argument("a passphrase has at most " + std::to_string(kLargestPassphrase) +
                                  " bytes");
}

void CheckRecipients(Secrets secrets, const SealOptions& o) {
  CheckPassphrases(secrets);
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

WipedBuffer::~WipedBuffer() {
  quorin::platform::Wipe(data(), touched_);
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
  const std::size_t stored = chunkBytes + kTag;
  if (chunkBytes > format2::kLargestChunk) throw std::invalid_argument("chunks of at most 1 MiB");
  // A batch is as many chunks as the cipher takes side by side, or fewer for
  // large chunks; every batch before the last is full.
  const std::size_t batch = ChunkCipher::ChunksPerBatch(chunkBytes);
  struct Worker {
    Worker(const SecureBuffer& tagKey, const MacValue& headerMac, std::size_t plainBytes,
           std::size_t sealedBytes)
        : tag(tagKey, headerMac), plain(plainBytes), sealed(sealedBytes) {}
    ChunkAuthenticator tag;
    WipedBuffer plain;
    ByteBuffer sealed;
    ChunkCipher::Piece pieces[kLanes];
    std::size_t read = 0, count = 0, out = 0;
    bool final = false;
  };
  std::unique_ptr<Worker> workers[kMostWorkers];
  for (auto& w : workers)
    w = std::make_unique<Worker>(keys.tag, headerMac, batch * chunkBytes, batch * stored);
  RunBatches({
      .read =
          [&](unsigned w, std::uint64_t) {
            Worker& k = *workers[w];
            k.read = ReadFully(source, k.plain.data(), k.plain.size());
            k.plain.Touched(k.read + kBlock);
            // A short read ends the input; its last chunk holds the 0 to C-1
            // bytes after the last full chunk, and the padding.
            k.final = k.read < k.plain.size();
            return k.final;
          },
      .work =
          [&](unsigned w, std::uint64_t b) {
            Worker& k = *workers[w];
            const std::uint64_t first = b * batch;
            const std::size_t full = k.read / chunkBytes;
            k.count = full + (k.final ? 1 : 0);
            for (std::size_t c = 0; c < k.count; ++c) {
              std::size_t blocks = chunkBytes / kBlock;
              if (c == full) {
                const std::size_t rest = k.read - full * chunkBytes;
                const std::size_t pad = kBlock - rest % kBlock;
                std::memset(k.plain.data() + c * chunkBytes + rest, static_cast<int>(pad), pad);
                blocks = (rest + pad) / kBlock;
              }
              k.pieces[c] = {
                  k.plain.data() + c * chunkBytes, k.sealed.data() + c * stored, blocks, {}};
              ChunkIV(keys.iv, first + c, k.pieces[c].iv.data());
            }
            cipher.Encrypt({k.pieces, k.count});
            for (std::size_t c = 0; c < k.count; ++c) {
              const std::size_t length = k.pieces[c].blocks * kBlock;
              const Poly1305Value tag =
                  k.tag.Of(first + c, k.final && c + 1 == k.count, k.pieces[c].out, length);
              std::memcpy(k.pieces[c].out + length, tag.data(), kTag);
            }
            // Every chunk before the last is full, so the stored chunks lie end to end.
            k.out = (k.count - 1) * stored + k.pieces[k.count - 1].blocks * kBlock + kTag;
          },
      .write =
          [&](unsigned w, std::uint64_t) {
            Worker& k = *workers[w];
            WriteFully(dest, k.sealed.data(), k.out);
          },
  });
}

}  // namespace quorin::seal::detail
