// Checks a stored chunk (ciphertext, then its tag) and, when it fails,
// says as precisely as the tags allow what happened: a wrong secret, a
// damaged chunk, a cut or bytes added at the end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace quorin::seal {

class ChunkCheck {
 public:
  // Whether `tag` is the chunk's tag, compared in constant time.
  using TagMatches = std::function<bool(std::uint64_t index, bool last, const std::uint8_t* chunk,
                                        std::size_t size, const std::uint8_t* tag)>;
  // tagBytes: the format's tag length. headerBytes and storedChunk place a
  // chunk in the file for messages. secretKnownRight: the header was
  // authenticated, so a failing first chunk is damage, not a wrong secret.
  ChunkCheck(TagMatches tagMatches, std::size_t tagBytes, std::string name, std::size_t headerBytes,
             std::size_t storedChunk, bool secretKnownRight)
      : tagMatches_(std::move(tagMatches)),
        tagBytes_(tagBytes),
        name_(std::move(name)),
        headerBytes_(headerBytes),
        storedChunk_(storedChunk),
        secretKnownRight_(secretKnownRight) {}

  // Checks one stored chunk (ciphertext and tag, `size` bytes in all) and
  // returns its ciphertext length, or throws TruncatedError or
  // AuthenticationError.
  std::size_t Verify(const std::uint8_t* stored, std::size_t size, std::uint64_t index,
                     bool last) const;

 private:
  TagMatches tagMatches_;
  std::size_t tagBytes_;
  std::string name_;
  std::size_t headerBytes_, storedChunk_;
  bool secretKnownRight_;
};

}  // namespace quorin::seal
