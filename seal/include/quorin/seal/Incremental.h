// Sealing and opening by pushing bytes in and taking bytes out, on the
// caller's thread and without streams: for an event loop that cannot block
// on a read (WebAssembly in a browser, a network server). The output is the
// same, byte for byte, as SealStream's and OpenStream's.
//
//   quorin::seal::IncrementalSealer sealer(secrets, options);
//   std::vector<std::uint8_t> out(sealer.MostOutput(piece.size()));
//   out.resize(sealer.Update(piece, out));   // as often as there is input
//   ...                                       // then Finish, sized by MostOutput(0)
//
// Memory stays constant: a sealer holds at most one chunk of plaintext, an
// opener one stored chunk (the last is known only when the input ends). An
// update of 32 chunks (2 MiB) or more is split with a second core where the
// process may use one, through a helper thread the object keeps.
//
// Threads that share no memory (WebAssembly workers) split a file's chunks
// among themselves instead: once a binary version-2 sealer has written its
// header, or an opener has read exactly the header (HeaderBytes tells its
// length), ChunkKeys copies out what sealing or opening a chunk needs;
// SealChunks and OpenChunks seal or open full chunks by number on any
// thread; Skip tells the sealer or opener how many came next, and it goes
// on with the rest and its Finish. The chunk keys are secret: wipe them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "quorin/seal/Seal.h"

namespace quorin::seal {

inline constexpr std::size_t kChunkKeysBytes = 148;

// Seals in format version 2 (streams of version 1 are sealed by SealStream).
class QUORIN_SEAL_API IncrementalSealer {
 public:
  // Checks the options as SealStream does (std::invalid_argument) and, for a
  // passphrase, hashes it here. The secrets are copied.
  IncrementalSealer(Secrets secrets, const SealOptions& options);
  ~IncrementalSealer();
  IncrementalSealer(const IncrementalSealer&) = delete;
  IncrementalSealer& operator=(const IncrementalSealer&) = delete;

  // The most bytes Update(n bytes) writes; MostOutput(0) bounds Finish().
  std::size_t MostOutput(std::size_t inputBytes) const;
  // Seals `plain` into `out`, which holds at least MostOutput(plain.size())
  // bytes, and returns how many bytes were written: the header first, then
  // every chunk completed so far.
  std::size_t Update(std::span<const std::uint8_t> plain, std::span<std::uint8_t> out);
  // Writes the final chunk. Update and Finish throw std::logic_error after it.
  std::size_t Finish(std::span<std::uint8_t> out);
  // The chunk keys, and the length of a chunk's plaintext: only after the
  // header was written, with no partial chunk held and no armour
  // (std::logic_error).
  std::size_t ChunkKeys(std::span<std::uint8_t, kChunkKeysBytes> out) const;
  // The next `chunks` full chunks were sealed elsewhere (same conditions).
  void Skip(std::uint64_t chunks);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// Opens either version. Nothing is released before its tag matched; a
// failure (the SealErrors of OpenStream) is thrown by the call that finds
// it, and every later call throws std::logic_error.
class QUORIN_SEAL_API IncrementalOpener {
 public:
  // The secrets are copied; the first that opens the file is used.
  IncrementalOpener(Secrets secrets, const OpenOptions& options = {},
                    std::string name = "the input");
  ~IncrementalOpener();
  IncrementalOpener(const IncrementalOpener&) = delete;
  IncrementalOpener& operator=(const IncrementalOpener&) = delete;

  // The most bytes Update(n bytes) writes; MostOutput(0) bounds Finish().
  std::size_t MostOutput(std::size_t inputBytes) const;
  // Takes more of the sealed input and writes into `out` (at least
  // MostOutput(sealed.size()) bytes) the plaintext of every chunk now known
  // not to be the last, returning its length. The call that completes the
  // header checks it and derives the keys (the passphrase's hashing).
  std::size_t Update(std::span<const std::uint8_t> sealed, std::span<std::uint8_t> out);
  // Ends the input: checks the last chunk and writes its plaintext.
  std::size_t Finish(std::span<std::uint8_t> out);
  // Whether the header has been read, and what it says (std::logic_error
  // before).
  bool HasHeader() const;
  const HeaderInfo& Header() const;
  // The chunk keys: only for a binary version-2 file whose header, and
  // nothing after it, was pushed (std::logic_error). Returns the length of
  // a stored chunk (its ciphertext and tag).
  std::size_t ChunkKeys(std::span<std::uint8_t, kChunkKeysBytes> out) const;
  // The next `chunks` stored chunks, none the last, were opened elsewhere.
  void Skip(std::uint64_t chunks);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// The length of the sealed header at the start of `sealed` (binary, either
// version), or 0 when more bytes are needed to tell. Throws what opening
// would for bytes that are not a sealed file or whose header is malformed.
QUORIN_SEAL_API std::size_t HeaderBytes(std::span<const std::uint8_t> sealed,
                                        const OpenOptions& options = {});

// Seals whole chunks, the first numbered `first`, into `out` (a stored
// chunk for each); none may be the file's last. `plain` holds a whole
// number of chunks. Throws std::invalid_argument for anything else.
QUORIN_SEAL_API void SealChunks(std::span<const std::uint8_t, kChunkKeysBytes> keys,
                                std::uint64_t first, std::span<const std::uint8_t> plain,
                                std::span<std::uint8_t> out);
// Checks and opens whole stored chunks, none the file's last, into `out`;
// a chunk whose tag differs throws AuthenticationError, as opening would.
QUORIN_SEAL_API void OpenChunks(std::span<const std::uint8_t, kChunkKeysBytes> keys,
                                std::uint64_t first, std::span<const std::uint8_t> sealed,
                                std::span<std::uint8_t> out, const std::string& name = "the input");

}  // namespace quorin::seal
