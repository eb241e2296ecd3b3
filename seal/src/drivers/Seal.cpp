
#include <cstring>
#include <stdexcept>
#include <vector>

#include "chunks/ChunkTag.h"
#include "drivers/SealCore.h"
#include "format/ArmourStreams.h"
#include "quorin/platform/Random.h"
#include "quorin/platform/SecretMemory.h"

namespace quorin::seal {
namespace detail {
namespace {

constexpr std::size_t kPiece = Rc6::TQuorin::ChunkSize;
constexpr std::size_t kBlock = Rc6::TQuorin::BlockSize;

Rc6::TCipherMode ComponentMode(Mode mode) {
  switch (mode) {
    case Mode::CFB:
      return Rc6::TCipherMode::CFB;
    case Mode::OFB:
      return Rc6::TCipherMode::OFB;
    case Mode::CBC:
      break;
  }
  return Rc6::TCipherMode::CBC;
}

Rc6::TKeySize ComponentKeySize(int bits) {
  return bits == 128   ? Rc6::TKeySize::Small128
         : bits == 192 ? Rc6::TKeySize::Med192
                       : Rc6::TKeySize::Large256;
}

// Collects ciphertext into chunks and writes each with its tag. A full chunk
// is written only when more ciphertext follows, so that the final one,
// whatever its length, carries the last-chunk flag.
class ChunkWriter {
 public:
  ChunkWriter(framework::TStream& dest, const SecureBuffer& macKey,
              const format::HeaderBytes& header, std::uint32_t chunkBytes)
      : dest_(dest),
        keyed_({macKey.data(), macKey.size()}),
        mac_(keyed_),
        header_(header),
        chunk_(chunkBytes) {}

  void Append(const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
      if (filled_ == chunk_.size()) Flush(false);
      const std::size_t n = std::min(size, chunk_.size() - filled_);
      std::memcpy(chunk_.data() + filled_, data, n);
      filled_ += n;
      data += n;
      size -= n;
    }
  }
  void Finish() { Flush(true); }

 private:
  void Flush(bool last) {
    const Tag tag = ChunkTag(mac_, header_, index_++, last, chunk_.data(), filled_);
    WriteFully(dest_, chunk_.data(), filled_);
    WriteFully(dest_, tag.data(), tag.size());
    filled_ = 0;
  }

  framework::TStream& dest_;
  const Mac keyed_;
  MacContext mac_;
  const format::HeaderBytes& header_;
  std::vector<std::uint8_t> chunk_;
  std::size_t filled_ = 0;
  std::uint64_t index_ = 0;
};

}  // namespace

LockedCipher::LockedCipher(const format::Header& h, const SecureBuffer& key)
    : q(std::make_unique<Rc6::TQuorin>(nullptr)) {
  platform::LockSecret(q.get(), sizeof(Rc6::TQuorin));  // the round keys and the chain
  q->SetCipherMode(ComponentMode(h.info.mode));
  q->SetKeySize(ComponentKeySize(h.info.keyBits));
  q->InitialiseByte({key.data(), key.size()}, static_cast<std::int32_t>(key.size()));
  q->LoadIVByte(h.iv, static_cast<std::int32_t>(h.iv.size()));
}

LockedCipher::~LockedCipher() {
  q->Burn();  // the component wipes its own keys
  platform::UnlockSecret(q.get(), sizeof(Rc6::TQuorin));
}

std::size_t ReadFully(framework::TStream& source, std::uint8_t* buffer, std::size_t count) {
  std::size_t got = 0;
  while (got < count) {
    const std::int32_t n = source.Read(buffer + got, static_cast<std::int32_t>(count - got));
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  return got;
}

void WriteFully(framework::TStream& dest, const std::uint8_t* data, std::size_t count) {
  if (count == 0) return;
  if (dest.Write(data, static_cast<std::int32_t>(count)) != static_cast<std::int32_t>(count))
    throw FileError("the output could not be written completely (disk full?)");
}

void SealStreamWith(framework::TStream& source, framework::TStream& dest, const Secret& secret,
                    const SealOptions& options, const format::Salt& salt, const format::IV& iv,
                    std::uint32_t chunkBytes) {
  format::CheckOptions(options, secret.Kind());
  format::Header h{};
  h.info.version = 1;
  h.info.mode = options.mode;
  h.info.keyBits = options.keyBits;
  h.info.kind = secret.Kind();
  h.info.costs = secret.Kind() == SecretKind::Passphrase ? options.costs : Costs{0, 0};
  h.info.chunkBytes = chunkBytes;
  h.salt = salt;
  h.iv = iv;
  const format::HeaderBytes header = format::Encode(h);
  const Keys keys = DeriveKeys(secret, h);
  LockedCipher cipher(h, keys.encryption);
  Rc6::TQuorin& q = *cipher.q;

  WriteFully(dest, header.data(), header.size());
  ChunkWriter chunks(dest, keys.mac, header, chunkBytes);
  std::uint8_t* buffer = q.Buffer().data();
  for (;;) {
    std::size_t n = ReadFully(source, buffer, kPiece);
    // As in the component's stream encryption: a short read ends the input,
    // and a final full piece is followed by a block of padding alone.
    const bool last = n < kPiece;
    if (last) {
      const std::size_t pad = kBlock - n % kBlock;
      std::memset(buffer + n, static_cast<int>(pad), pad);
      n += pad;
    }
    if (q.EncryptBuffer(static_cast<std::int32_t>(n)) != 0)
      throw SealError("the component refused to encrypt");  // cannot happen: keyed, whole blocks
    chunks.Append(buffer, n);
    if (last) break;
  }
  chunks.Finish();
}

}  // namespace detail

void CheckSealing(Secrets secrets, const SealOptions& options) {
  if (options.formatVersion == 2) return detail::CheckRecipients(secrets, options);
  detail::CheckPassphrases(secrets);
  if (options.formatVersion != 1)
    throw std::invalid_argument("sealed format version " + std::to_string(options.formatVersion) +
                                " does not exist (1 or 2)");
  if (secrets.size() != 1 || secrets[0] == nullptr || !options.recipients.empty() ||
      secrets[0]->Kind() == SecretKind::Identity)
    throw std::invalid_argument(
        "format version 1 is sealed for exactly one passphrase or key file, and no recipient");
  format::CheckOptions(options, secrets[0]->Kind());
}

void SealStream(framework::TStream& source, framework::TStream& dest, Secrets secrets,
                const SealOptions& options) {
  CheckSealing(secrets, options);
  if (options.armour) {
    SealOptions binary = options;
    binary.armour = false;
    detail::ArmouringStream text(dest);
    SealStream(source, text, secrets, binary);
    text.Finish();
    return;
  }
  if (options.formatVersion == 2)
    return detail::SealV2With(source, dest, secrets, options, platform::RandomBytes);
  format::Salt salt;
  format::IV iv;
  platform::RandomBytes(salt.data(), salt.size());
  platform::RandomBytes(iv.data(), iv.size());
  detail::SealStreamWith(source, dest, *secrets[0], options, salt, iv);
}

void SealStream(framework::TStream& source, framework::TStream& dest, const Secret& secret,
                const SealOptions& options) {
  const Secret* one[] = {&secret};
  SealStream(source, dest, one, options);
}

void SealStream(framework::TStream& source, framework::TStream& dest, const SealOptions& options) {
  SealStream(source, dest, Secrets{}, options);
}

}  // namespace quorin::seal
