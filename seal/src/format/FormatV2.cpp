#include "format/FormatV2.h"

#include <cstring>

#include "drivers/SealCore.h"
#include "format/Bytes.h"

namespace quorin::seal::format2 {

using namespace bytes;

namespace {

// The body length each known stanza type has.
constexpr std::size_t kPassphraseBody = 4 + 4 + 16 + 48;
constexpr std::size_t kKeyFileBody = 16 + 48;
constexpr std::size_t kX25519Body = 32 + 48;

}  // namespace

bool KnownType(std::uint16_t type, SecretKind* kind) {
  SecretKind k;
  switch (static_cast<StanzaType>(type)) {
    case StanzaType::Passphrase:
      k = SecretKind::Passphrase;
      break;
    case StanzaType::KeyFile:
      k = SecretKind::KeyFile;
      break;
    case StanzaType::X25519:
      k = SecretKind::Identity;
      break;
    default:
      return false;
  }
  if (kind) *kind = k;
  return true;
}

std::vector<std::uint8_t> Encode(const Header& h) {
  std::vector<std::uint8_t> out(format::kMagic, format::kMagic + format::kMagicBytes);
  Append16(out, kVersion);
  out.push_back(static_cast<std::uint8_t>(h.mode));
  out.push_back(0);
  Append16(out, static_cast<std::uint16_t>(h.keyBits));
  Append16(out, static_cast<std::uint16_t>(h.stanzas.size()));
  Append32(out, h.chunkBytes);
  Append32(out, 0);
  out.insert(out.end(), h.nonce.begin(), h.nonce.end());
  for (const Stanza& s : h.stanzas) {
    Append16(out, s.type);
    Append16(out, static_cast<std::uint16_t>(s.body.size()));
    out.insert(out.end(), s.body.begin(), s.body.end());
  }
  return out;
}

Header Read(framework::TStream& source, std::vector<std::uint8_t>& raw, const OpenOptions& limits,
            const std::string& name) {
  const auto take = [&](std::size_t count) {
    const std::size_t at = raw.size();
    raw.resize(at + count);
    if (detail::ReadFully(source, raw.data() + at, count) != count)
      throw TruncatedError(name + " is truncated: it ends inside its header");
    return at;
  };
  const auto damaged = [&](const std::string& what) {
    return BadHeaderError(name + " has a damaged header: " + what);
  };

  take(kFixedBytes - raw.size());
  const std::uint8_t* b = raw.data();
  Header h{};
  const std::uint8_t mode = b[10];
  if (mode < 1 || mode > 3) throw damaged("unknown chaining mode " + std::to_string(mode));
  h.mode = static_cast<Mode>(mode);
  h.keyBits = Get16(&b[12]);
  if (!format::ValidKeyBits(h.keyBits)) throw damaged("key size " + std::to_string(h.keyBits));
  if (b[11] != 0 || Get32(&b[20]) != 0) throw damaged("reserved bytes are not zero");
  h.chunkBytes = Get32(&b[16]);
  if (!format::ValidChunkBytes(h.chunkBytes) || h.chunkBytes > kLargestChunk)
    throw damaged("chunk size " + std::to_string(h.chunkBytes));
  const std::size_t count = Get16(&b[14]);
  if (count == 0 || count > kMostStanzas)
    throw damaged(std::to_string(count) + " recipient stanzas (1 to " +
                  std::to_string(kMostStanzas) + " are allowed)");
  std::memcpy(h.nonce.data(), &b[24], kNonceBytes);

  bool passphrase = false;
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t head = take(kStanzaHeadBytes);
    Stanza s{Get16(&raw[head]), {}};
    const std::size_t length = Get16(&raw[head + 2]);
    if (length > kLargestStanza) throw damaged("a stanza of " + std::to_string(length) + " bytes");
    const std::size_t body = take(length);
    s.body.assign(raw.begin() + static_cast<std::ptrdiff_t>(body), raw.end());
    SecretKind kind;
    if (KnownType(s.type, &kind)) {
      const std::size_t expected = kind == SecretKind::Passphrase ? kPassphraseBody
                                   : kind == SecretKind::KeyFile  ? kKeyFileBody
                                                                  : kX25519Body;
      if (length != expected)
        throw damaged("a stanza of type " + std::to_string(s.type) + " holds " +
                      std::to_string(length) + " bytes");
      if (kind == SecretKind::Passphrase) {
        // One passphrase at most: each would cost an opener a full Argon2id run.
        if (passphrase) throw damaged("more than one passphrase stanza");
        passphrase = true;
        format::CheckCosts({Get32(&s.body[0]), std::uint64_t{Get32(&s.body[4])} << 10}, limits,
                           name);
      }
    }
    h.stanzas.push_back(std::move(s));
  }
  take(kHeaderMacBytes);
  return h;
}

HeaderInfo Describe(const Header& h) {
  HeaderInfo info{};
  info.version = kVersion;
  info.mode = h.mode;
  info.keyBits = h.keyBits;
  info.chunkBytes = h.chunkBytes;
  info.costs = {0, 0};  // unless a passphrase stanza says otherwise
  for (const Stanza& s : h.stanzas) {
    SecretKind kind;
    if (!KnownType(s.type, &kind)) continue;
    info.kinds.push_back(kind);
    if (kind == SecretKind::Passphrase)
      info.costs = {Get32(&s.body[0]), std::uint64_t{Get32(&s.body[4])} << 10};
  }
  info.kind = info.kinds.empty() ? SecretKind{} : info.kinds.front();
  return info;
}

}  // namespace quorin::seal::format2
