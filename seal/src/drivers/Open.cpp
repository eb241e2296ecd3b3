#include <algorithm>
#include <cstring>
#include <vector>

#include "chunks/ChunkCheck.h"
#include "chunks/ChunkTag.h"
#include "drivers/SealCore.h"
#include "format/ArmourStreams.h"
#include "format/FormatV2.h"

namespace quorin::seal {
namespace {

using detail::ReadFully;
using detail::WriteFully;

constexpr std::size_t kPiece = Rc6::TQuorin::ChunkSize;
constexpr std::size_t kTag = format::kTagBytes;

}  // namespace

namespace detail {

HeaderInfo ReadHeader(framework::TStream& source, std::vector<std::uint8_t>& raw,
                      const OpenOptions& options, const std::string& name) {
  constexpr std::size_t kLead = format::kMagicBytes + 2;  // the magic and the version
  raw.resize(kLead);
  const std::size_t n = ReadFully(source, raw.data(), kLead);
  if (n == kLead && raw[8] == format2::kVersion && raw[9] == 0 &&
      std::memcmp(raw.data(), format::kMagic, format::kMagicBytes) == 0)
    return format2::Describe(format2::Read(source, raw, options, name));
  raw.resize(format::kHeaderBytes);
  const std::size_t more = n < kLead ? 0 : ReadFully(source, &raw[kLead], raw.size() - kLead);
  const format::Header h = format::Parse(raw.data(), n + more, options, name);
  HeaderInfo info = h.info;
  info.version = 1;
  info.kinds = {h.info.kind};
  return info;
}

}  // namespace detail

Opener::Opener(framework::TStream& source, const OpenOptions& options, std::string name)
    : input_(std::make_unique<detail::DetectingSource>(source, name)),
      source_(*input_),
      name_(std::move(name)),
      info_(detail::ReadHeader(source_, header_, options, name_)) {}

Opener::~Opener() = default;

bool HeaderInfo::Accepts(SecretKind k) const {
  return std::find(kinds.begin(), kinds.end(), k) != kinds.end();
}

void Opener::OpenTo(framework::TStream& dest, const Secret& secret) {
  const Secret* one[] = {&secret};
  OpenTo(dest, one);
}

namespace {

std::string KindName(SecretKind k) {
  switch (k) {
    case SecretKind::Passphrase:
      return "a passphrase";
    case SecretKind::KeyFile:
      return "a key file";
    case SecretKind::Identity:
      return "an identity";
  }
  return "a secret";
}

}  // namespace

namespace detail {

const Secret& UsableSecret(const HeaderInfo& info, Secrets secrets, const std::string& name) {
  const Secret* usable = nullptr;
  for (const Secret* s : secrets) {
    if (s == nullptr) throw std::invalid_argument("a null secret");
    if (!usable && info.Accepts(s->Kind())) usable = s;
  }
  if (usable) return *usable;
  std::string kinds;
  for (std::size_t i = 0; i < info.kinds.size(); ++i) {
    if (i > 0 && kinds.find(KindName(info.kinds[i])) != std::string::npos) continue;
    kinds += (kinds.empty() ? "" : " or ") + KindName(info.kinds[i]);
  }
  throw SecretKindError(name + (kinds.empty()
                                    ? " was sealed only for kinds of recipient this quorin "
                                      "does not know; open it with a newer quorin"
                                    : " opens with " + kinds + ", and none was given"));
}

void Unpad(const std::uint8_t* plain, std::size_t& length, const std::string& name) {
  const std::size_t pad = StrictPadLength(plain, length);
  if (pad == 0)
    throw AuthenticationError(name +
                              "'s padding is invalid under a matching tag: it was not sealed "
                              "by quorin");
  length -= pad;
}

format::Header V1Header(const HeaderInfo& info, const std::vector<std::uint8_t>& raw) {
  format::Header h{};
  h.info = info;
  std::memcpy(h.salt.data(), &raw[32], format::kSaltBytes);
  std::memcpy(h.iv.data(), &raw[48], format::kIVBytes);
  return h;
}

}  // namespace detail

void Opener::OpenTo(framework::TStream& dest, Secrets secrets) {
  if (used_) throw std::logic_error("an Opener opens its input once");
  used_ = true;
  const Secret& usable = detail::UsableSecret(info_, secrets, name_);
  if (info_.version == 2) return detail::OpenV2(source_, dest, header_, secrets, name_);
  const Secret& secret = usable;
  const format::Header h = detail::V1Header(info_, header_);
  const Keys keys = DeriveKeys(secret, h);
  detail::LockedCipher cipher(h, keys.encryption);
  Rc6::TQuorin& q = *cipher.q;
  // One stored chunk is read ahead: the last chunk is the one after which
  // the input ends.
  const std::size_t stored = h.info.chunkBytes + kTag;
  const Mac keyed({keys.mac.data(), keys.mac.size()});
  MacContext mac(keyed);
  const ChunkCheck reader(
      [&](std::uint64_t index, bool last, const std::uint8_t* chunk, std::size_t size,
          const std::uint8_t* tag) {
        return TagMatches(ChunkTag(mac, header_, index, last, chunk, size), tag);
      },
      kTag, name_, format::kHeaderBytes, stored, false);
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
      if (last && at + piece == length) detail::Unpad(buffer, keep, name_);
      WriteFully(dest, buffer, keep);
    }
    if (last) return;
    current.swap(ahead);
    n = next;
  }
}

void OpenStream(framework::TStream& source, framework::TStream& dest, Secrets secrets,
                const OpenOptions& options, const std::string& name) {
  Opener opener(source, options, name);
  opener.OpenTo(dest, secrets);
}

void OpenStream(framework::TStream& source, framework::TStream& dest, const Secret& secret,
                const OpenOptions& options, const std::string& name) {
  const Secret* one[] = {&secret};
  OpenStream(source, dest, one, options, name);
}

}  // namespace quorin::seal
