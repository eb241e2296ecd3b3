// The length of a sealed file, known before sealing: a caller can size a
// buffer for it without running the passphrase hash.
#include <stdexcept>

#include "chunks/ChunkAuthenticator.h"
#include "format/Format.h"
#include "format/FormatV2.h"
#include "format/Stanza.h"
#include "quorin/seal/Armour.h"
#include "quorin/seal/Seal.h"

namespace quorin::seal {

namespace {

std::uint64_t BinaryBytes(std::uint64_t plainBytes, Secrets secrets, const SealOptions& options) {
  constexpr std::uint64_t kBlock = 16, kChunk = format::kChunkBytes;
  // Far beyond any file, and small enough that nothing below overflows.
  if (plainBytes > std::uint64_t{1} << 62)
    throw std::invalid_argument("the data is longer than a sealed file can hold");
  // The count-byte padding adds 1 to 16 bytes; the chunks are the padded
  // body's, each followed by its tag.
  const std::uint64_t body = (plainBytes / kBlock + 1) * kBlock;
  const std::uint64_t chunks = plainBytes / kChunk + 1;
  if (options.formatVersion == 1) return format::kHeaderBytes + body + chunks * format::kTagBytes;
  std::uint64_t header = format2::kFixedBytes + format2::kHeaderMacBytes;
  for (const Secret* s : secrets) header += format2::kStanzaHeadBytes + StanzaBodyBytes(s->Kind());
  header += options.recipients.size() *
            (format2::kStanzaHeadBytes + StanzaBodyBytes(SecretKind::Identity));
  return header + body + chunks * kChunkTagBytes;
}

}  // namespace

std::uint64_t SealedBytes(std::uint64_t plainBytes, Secrets secrets, const SealOptions& options) {
  const std::uint64_t binary = BinaryBytes(plainBytes, secrets, options);
  if (!options.armour) return binary;
  // The BEGIN line, base64 in lines of 64 characters, the END line.
  const std::uint64_t characters = (binary + 2) / 3 * 4;
  return kArmourBegin.size() + 1 + characters +
         (characters + kArmourLineLength - 1) / kArmourLineLength + kArmourEnd.size() + 1;
}

}  // namespace quorin::seal
