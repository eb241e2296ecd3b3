#include <algorithm>
#include <cstring>
#include <vector>

#include "ChunkTag.h"
#include "SealCore.h"

namespace quorin::seal {
namespace {

using detail::ReadFully;
using detail::WriteFully;

constexpr std::size_t kPiece = Rc6::TQuorin::ChunkSize;
constexpr std::size_t kBlock = Rc6::TQuorin::BlockSize;
constexpr std::size_t kTag = format::kTagBytes;

std::size_t StrictPadLength(const std::uint8_t* data, std::size_t size) {
  const std::size_t pad = data[size - 1];
  if (pad < 1 || pad > kBlock || pad > size) return 0;
  for (std::size_t i = size - pad; i < size; ++i)
    if (data[i] != pad) return 0;
  return pad;
}

class ChunkReader {
 public:
  ChunkReader(const format::HeaderBytes& header, const SecureBuffer& macKey, std::string name,
              std::size_t storedChunk)
      : header_(header), macKey_(macKey), name_(std::move(name)), storedChunk_(storedChunk) {}

  // Checks one stored chunk (ciphertext and tag, `size` bytes in all) and
  // returns its ciphertext length. A failed check says as precisely as
  // the tags allow what happened.
  std::size_t Verify(const std::uint8_t* stored, std::size_t size, std::uint64_t index,
                     bool last) const {
    const auto matches = [&](std::size_t length, bool asLast) {
      return TagMatches(ChunkTag(macKey_, header_, index, asLast, stored, length), stored + length);
    };
    if (size < kTag + kBlock) throw TruncatedError(name_ + " is truncated: it ends inside a chunk");
    // Whole blocks and a tag, unless bytes were cut off or added at the end.
    if (const std::size_t extra = (size - kTag) % kBlock; extra != 0) {
      if (last && size - extra >= kTag + kBlock && matches(size - extra - kTag, true))
        throw AuthenticationError(name_ + " has " + std::to_string(extra) +
                                  " bytes appended after its sealed data");
      throw TruncatedError(name_ + " is truncated: it ends inside a chunk");
    }
    const std::size_t length = size - kTag;
    if (matches(length, last)) return length;
    if (last && matches(length, false))
      throw TruncatedError(name_ + " is truncated: its sealed data stops after " +
                           Chunks(index + 1) + ", before the last chunk");
    if (!last && matches(length, true))
      throw AuthenticationError(name_ + " has bytes appended after its sealed data");
    // Chunks are named by where they start, not by a number that could be
    // counted from 0 (as the format does) or from 1.
    if (index > 0)
      throw AuthenticationError(
          name_ + " is damaged: the chunk at byte " +
          std::to_string(format::kHeaderBytes + index * storedChunk_) +
          " does not match its tag, though the " + Chunks(index) +
          " before it did (so the secret is right); it was altered or cut short");
    throw AuthenticationError("cannot open " + name_ +
                              ": the passphrase or key is wrong, or the file was altered or cut "
                              "short (a tag does not match)");
  }

 private:
  static std::string Chunks(std::uint64_t n) {
    return std::to_string(n) + (n == 1 ? " chunk" : " chunks");
  }

  const format::HeaderBytes& header_;
  const SecureBuffer& macKey_;
  std::string name_;
  std::size_t storedChunk_;
};

}  // namespace

Opener::Opener(framework::TStream& source, const OpenOptions& options, std::string name)
    : source_(source), name_(std::move(name)) {
  const std::size_t n = ReadFully(source_, header_.data(), header_.size());
  const format::Header h = format::Parse(header_.data(), n, options, name_);
  info_ = h.info;
  salt_ = h.salt;
  iv_ = h.iv;
}

void Opener::OpenTo(framework::TStream& dest, const Secret& secret) {
  if (used_) throw std::logic_error("an Opener opens its input once");
  used_ = true;
  const format::Header h{info_, salt_, iv_};
  if (secret.Kind() != h.info.kind)
    throw SecretKindError(name_ + " was sealed with " +
                          (h.info.kind == SecretKind::Passphrase ? "a passphrase, not a key file"
                                                                 : "a key file, not a passphrase"));
  const Keys keys = DeriveKeys(secret, h);
  detail::LockedCipher cipher(h, keys.encryption);
  Rc6::TQuorin& q = *cipher.q;
  // One stored chunk is read ahead: the last chunk is the one after which
  // the input ends.
  const std::size_t stored = h.info.chunkBytes + kTag;
  const ChunkReader reader(header_, keys.mac, name_, stored);
  std::vector<std::uint8_t> current(stored), ahead(stored);
  std::size_t n = ReadFully(source_, current.data(), stored);
  if (n == 0) throw TruncatedError(name_ + " is truncated: it has a header but no sealed data");
  for (std::uint64_t index = 0;; ++index) {
    const std::size_t next = n == stored ? ReadFully(source_, ahead.data(), stored) : 0;
    const bool last = next == 0;
    const std::size_t length = reader.Verify(current.data(), n, index, last);

    for (std::size_t at = 0; at < length; at += kPiece) {
      const std::size_t piece = std::min(kPiece, length - at);
      std::uint8_t* buffer = q.Buffer().data();
      std::memcpy(buffer, current.data() + at, piece);
      if (q.DecryptBuffer(static_cast<std::int32_t>(piece)) != 0)
        throw SealError("the component refused to decrypt");  // cannot happen: whole blocks
      std::size_t keep = piece;
      if (last && at + piece == length) {
        const std::size_t pad = StrictPadLength(buffer, piece);
        if (pad == 0)
          throw AuthenticationError(name_ +
                                    "'s padding is invalid under a matching tag: it was "
                                    "not sealed by quorin");
        keep -= pad;
      }
      WriteFully(dest, buffer, keep);
    }
    if (last) return;
    current.swap(ahead);
    n = next;
  }
}

void OpenStream(framework::TStream& source, framework::TStream& dest, const Secret& secret,
                const OpenOptions& options, const std::string& name) {
  Opener opener(source, options, name);
  opener.OpenTo(dest, secret);
}

}  // namespace quorin::seal
