// Sealing with a given salt, IV and chunk size. The public functions draw
// the salt and the IV from libsodium's random source; the tests come in
// here to pin the format with fixed values.
#pragma once

#include <algorithm>
#include <memory>
#include <vector>

#include "format/Format.h"
#include "format/Stanza.h"
#include "keys/Keys.h"
#include "quorin/Rc6.h"
#include "quorin/platform/LargeBuffer.h"

namespace quorin::seal::detail {

void SealStreamWith(framework::TStream& source, framework::TStream& dest, const Secret& secret,
                    const SealOptions& options, const format::Salt& salt, const format::IV& iv,
                    std::uint32_t chunkBytes = format::kChunkBytes);

// Version 2, with every random byte (the file key, the nonce, then each
// stanza's salt or ephemeral key in order) drawn from `random`, and
// `leading` stanzas (of types an opener may not know) before the others.
void SealV2With(framework::TStream& source, framework::TStream& dest, Secrets secrets,
                const SealOptions& options, const RandomFill& random,
                std::uint32_t chunkBytes = format::kChunkBytes,
                const std::vector<format2::Stanza>& leading = {});

// Refuses a passphrase longer than sealing allows.
void CheckPassphrases(Secrets secrets);
// Throws std::invalid_argument unless version 2 can seal for these secrets
// and recipients with these options.
void CheckRecipients(Secrets secrets, const SealOptions& options);

// Reads a header (either version) from source into raw, checking it
// against the limits; Opener's first step.
HeaderInfo ReadHeader(framework::TStream& source, std::vector<std::uint8_t>& raw,
                      const OpenOptions& options, const std::string& name);

// The first secret of a kind the file was sealed for; throws SecretKindError
// naming the kinds it opens with.
const Secret& UsableSecret(const HeaderInfo& info, Secrets secrets, const std::string& name);

// A version 1 header from its description and its bytes as read.
format::Header V1Header(const HeaderInfo& info, const std::vector<std::uint8_t>& raw);

// Opens the body of a version 2 file whose header (all of it, as read) is
// in `raw`.
void OpenV2(framework::TStream& source, framework::TStream& dest,
            const std::vector<std::uint8_t>& raw, Secrets secrets, const std::string& name);

// The length of a final block's count-byte padding (1 to 16, every count
// byte equal), or 0 when it is not such padding.
inline std::size_t StrictPadLength(const std::uint8_t* data, std::size_t size) {
  const std::size_t pad = data[size - 1];
  if (pad < 1 || pad > 16 || pad > size) return 0;
  for (std::size_t i = size - pad; i < size; ++i)
    if (data[i] != pad) return 0;
  return pad;
}

// Takes the padding off a final chunk's `length` bytes of plaintext;
// throws AuthenticationError naming `name` when it is not count-byte
// padding (which a matching tag makes a file not sealed by quorin).
void Unpad(const std::uint8_t* plain, std::size_t& length, const std::string& name);

// A batch buffer left uninitialised: its pages are touched only as far as
// they are used.
class ByteBuffer {
 public:
  explicit ByteBuffer(std::size_t size) : bytes_(size) {}
  std::uint8_t* data() { return bytes_.data(); }
  std::size_t size() const { return bytes_.size(); }

 private:
  platform::LargeBuffer bytes_;
};

// One for plaintext: as far as it was used (Touched), wiped when it goes.
class WipedBuffer : public ByteBuffer {
 public:
  using ByteBuffer::ByteBuffer;
  WipedBuffer(WipedBuffer&&) = delete;
  ~WipedBuffer();
  void Touched(std::size_t size) { touched_ = std::max(touched_, std::min(size, this->size())); }

 private:
  std::size_t touched_ = 0;
};

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
