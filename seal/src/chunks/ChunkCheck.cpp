#include "chunks/ChunkCheck.h"

#include "quorin/seal/Errors.h"

namespace quorin::seal {
namespace {

constexpr std::size_t kBlock = 16;

std::string Chunks(std::uint64_t n) {
  return std::to_string(n) + (n == 1 ? " chunk" : " chunks");
}

}  // namespace

std::size_t ChunkCheck::Verify(const std::uint8_t* stored, std::size_t size, std::uint64_t index,
                               bool last) const {
  const auto matches = [&](std::size_t length, bool asLast) {
    return tagMatches_(index, asLast, stored, length, stored + length);
  };
  if (size < tagBytes_ + kBlock)
    throw TruncatedError(name_ + " is truncated: it ends inside a chunk");
  // Whole blocks and a tag, unless bytes were cut off or added at the end.
  if (const std::size_t extra = (size - tagBytes_) % kBlock; extra != 0) {
    if (last && size - extra >= tagBytes_ + kBlock && matches(size - extra - tagBytes_, true))
      throw AuthenticationError(name_ + " has " + std::to_string(extra) +
                                " bytes appended after its sealed data");
    throw TruncatedError(name_ + " is truncated: it ends inside a chunk");
  }
  const std::size_t length = size - tagBytes_;
  if (matches(length, last)) return length;
  if (last && matches(length, false))
    throw TruncatedError(name_ + " is truncated: its sealed data stops after " + Chunks(index + 1) +
                         ", before the last chunk");
  if (!last && matches(length, true))
    throw AuthenticationError(name_ + " has bytes appended after its sealed data");
  // Chunks are named by where they start, not by a number that could be
  // counted from 0 (as the format does) or from 1.
  if (index > 0 || secretKnownRight_)
    throw AuthenticationError(
        name_ + " is damaged: the chunk at byte " +
        std::to_string(headerBytes_ + index * storedChunk_) + " does not match its tag" +
        (index > 0 ? ", though the " + Chunks(index) + " before it did (so the secret is right)"
                   : " (the header's did, so the secret is right)") +
        "; it was altered or cut short");
  throw AuthenticationError("cannot open " + name_ +
                            ": the passphrase or key is wrong, or the file was altered or cut "
                            "short (a tag does not match)");
}

}  // namespace quorin::seal
