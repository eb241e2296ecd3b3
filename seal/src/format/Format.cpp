#include "format/Format.h"

#include <sodium.h>

#include <cstring>
#include <stdexcept>

#include "format/Bytes.h"

namespace quorin::seal::format {

using namespace bytes;

namespace {

std::string MiB(std::uint64_t bytes) {
  return std::to_string((bytes + (1u << 20) - 1) >> 20) + " MiB";
}

}  // namespace

bool ValidKeyBits(int bits) {
  return bits == 128 || bits == 192 || bits == 256;
}

bool ValidChunkBytes(std::uint32_t bytes) {
  return bytes != 0 && bytes % 16 == 0 && bytes <= kLargestChunk;
}

void CheckCosts(const Costs& c, const OpenOptions& limits, const std::string& name) {
  // Checked before anything is allocated: the costs come from the file.
  if (c.passes > limits.maxPasses || c.memoryBytes > limits.maxMemoryBytes)
    throw CostLimitError(name + "'s header asks for " + std::to_string(c.passes) + " passes over " +
                         MiB(c.memoryBytes) + " to hash the passphrase, beyond the " +
                         std::to_string(limits.maxPasses) + " passes and " +
                         MiB(limits.maxMemoryBytes) +
                         " allowed; the file is damaged or was crafted to exhaust memory "
                         "(a larger limit opens it, if you trust it)");
  if (c.passes < crypto_pwhash_OPSLIMIT_MIN || c.memoryBytes < crypto_pwhash_MEMLIMIT_MIN)
    throw BadHeaderError(name + " has a damaged header: passphrase costs below Argon2id's minimum");
}

HeaderBytes Encode(const Header& h) {
  HeaderBytes b{};
  std::memcpy(b.data(), kMagic, kMagicBytes);
  Put16(&b[8], kVersion);
  b[10] = static_cast<std::uint8_t>(h.info.mode);
  b[11] = static_cast<std::uint8_t>(h.info.kind);
  Put16(&b[12], static_cast<std::uint16_t>(h.info.keyBits));
  Put32(&b[16], h.info.chunkBytes);
  Put32(&b[20], h.info.costs.passes);
  Put32(&b[24], static_cast<std::uint32_t>(h.info.costs.memoryBytes >> 10));
  std::memcpy(&b[32], h.salt.data(), kSaltBytes);
  std::memcpy(&b[48], h.iv.data(), kIVBytes);
  return b;
}

Header Parse(const std::uint8_t* b, std::size_t size, const OpenOptions& limits,
             const std::string& name) {
  const std::size_t magic = std::min(size, kMagicBytes);
  if (std::memcmp(b, kMagic, magic) != 0 || size == 0)
    throw NotSealedError(name + " is not a sealed file (it does not start with \"" + kMagic +
                         "\"); if it came from quorin encrypt, use quorin decrypt");
  if (size < kMagicBytes + 2)
    throw TruncatedError(name + " is truncated: it ends inside its header");
  // Text after the magic (armour pasted after it, say) is no version at all.
  const auto isText = [](std::uint8_t c) {
    return (c >= 0x20 && c < 0x7f) || c == '\n' || c == '\r' || c == '\t';
  };
  if (isText(b[8]) && isText(b[9]))
    throw NotSealedError(name + " is not a sealed file: text follows its \"" + kMagic +
                         "\" where the header's version belongs");
  if (const std::uint16_t version = Get16(&b[8]); version != kVersion)
    throw UnsupportedVersionError(name + " is sealed in format version " + std::to_string(version) +
                                  ", which this quorin does not read (it reads versions 1 and 2); "
                                  "open it with a newer quorin");
  if (size < kHeaderBytes) throw TruncatedError(name + " is truncated: it ends inside its header");

  const auto damaged = [&](const std::string& what) {
    return BadHeaderError(name + " has a damaged header: " + what);
  };
  Header h{};
  const std::uint8_t mode = b[10], kind = b[11];
  if (mode < 1 || mode > 3) throw damaged("unknown chaining mode " + std::to_string(mode));
  if (kind < 1 || kind > 2) throw damaged("unknown secret kind " + std::to_string(kind));
  h.info.mode = static_cast<Mode>(mode);
  h.info.kind = static_cast<SecretKind>(kind);
  h.info.keyBits = Get16(&b[12]);
  if (!ValidKeyBits(h.info.keyBits)) throw damaged("key size " + std::to_string(h.info.keyBits));
  if (Get16(&b[14]) != 0 || Get32(&b[28]) != 0) throw damaged("reserved bytes are not zero");
  h.info.chunkBytes = Get32(&b[16]);
  if (!ValidChunkBytes(h.info.chunkBytes))
    throw damaged("chunk size " + std::to_string(h.info.chunkBytes));
  h.info.costs.passes = Get32(&b[20]);
  h.info.costs.memoryBytes = std::uint64_t{Get32(&b[24])} << 10;

  const Costs& c = h.info.costs;
  if (h.info.kind == SecretKind::KeyFile) {
    if (c.passes != 0 || c.memoryBytes != 0) throw damaged("passphrase costs on a key-file seal");
  } else {
    CheckCosts(c, limits, name);
  }
  std::memcpy(h.salt.data(), &b[32], kSaltBytes);
  std::memcpy(h.iv.data(), &b[48], kIVBytes);
  return h;
}

void CheckOptions(const SealOptions& o, SecretKind kind) {
  if (o.mode != Mode::CBC && o.mode != Mode::CFB && o.mode != Mode::OFB)
    throw std::invalid_argument("a sealed file uses CBC, CFB or OFB");
  if (!ValidKeyBits(o.keyBits)) throw std::invalid_argument("the key size is 128, 192 or 256 bits");
  if (kind == SecretKind::Passphrase) {
    const Costs& c = o.costs;
    // Nothing an opener with the default limits would refuse.
    const OpenOptions limits;
    if (c.passes < crypto_pwhash_OPSLIMIT_MIN || c.memoryBytes < crypto_pwhash_MEMLIMIT_MIN ||
        c.memoryBytes % 1024 != 0 || c.passes > limits.maxPasses ||
        c.memoryBytes > limits.maxMemoryBytes)
      throw std::invalid_argument("Argon2id costs: 1 to " + std::to_string(limits.maxPasses) +
                                  " passes, 8 KiB to " + MiB(limits.maxMemoryBytes) +
                                  " of memory in whole KiB");
  }
}

}  // namespace quorin::seal::format
