// Sealing with a given salt, IV and chunk size. The public functions draw
// the salt and the IV from libsodium's random source; the tests come in
// here to pin the format with fixed values.
#pragma once

#include <memory>

#include "Format.h"
#include "Keys.h"
#include "quorin/Rc6.h"

namespace quorin::seal::detail {

void SealStreamWith(framework::TStream& source, framework::TStream& dest, const Secret& secret,
                    const SealOptions& options, const format::Salt& salt, const format::IV& iv,
                    std::uint32_t chunkBytes = format::kChunkBytes);

// A component keyed for the header's mode, key size and IV, in locked memory.
struct LockedCipher {
  LockedCipher(const format::Header& header, const SecureBuffer& key);
  ~LockedCipher();
  LockedCipher(const LockedCipher&) = delete;
  LockedCipher& operator=(const LockedCipher&) = delete;
  std::unique_ptr<Rc6::TQuorin> q;
};

// Reads until count bytes or the end of the stream.
std::size_t ReadFully(framework::TStream& source, std::uint8_t* buffer, std::size_t count);
// Writes all count bytes or throws FileError naming the stream.
void WriteFully(framework::TStream& dest, const std::uint8_t* data, std::size_t count);

}  // namespace quorin::seal::detail
