// Opening pushed input. Until the header is complete the bytes are kept
// and the header is parsed again as more arrive; after it, one stored
// chunk is held back, since a chunk is the last only when the input ends
// after it.
#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

#include "chunks/ChunkRun.h"
#include "chunks/ChunkTag.h"
#include "chunks/SplitRun.h"
#include "drivers/SealCore.h"
#include "keys/UnlockV2.h"
#include "quorin/framework/MemoryStream.h"
#include "quorin/seal/Armour.h"
#include "quorin/seal/Incremental.h"

namespace quorin::seal {
namespace {

constexpr std::size_t kLanes = ChunkRun::kLanes;

// A file's body after its header: checks and decrypts stored chunks.
class Body {
 public:
  virtual ~Body() = default;
  std::size_t StoredChunk() const { return stored_; }
  // Opens `count` stored chunks end to end at `in` (the last of them
  // `lastSize` bytes, and the file's last if `final`) into `out`; returns
  // the plaintext length.
  virtual std::size_t Open(const std::uint8_t* in, std::size_t count, std::size_t lastSize,
                           bool final, std::uint8_t* out) = 0;
  // Opens `count` full stored chunks, none of them the last, as many side
  // by side as the cipher takes.
  virtual std::size_t OpenFull(const std::uint8_t* in, std::size_t count, std::uint8_t* out) {
    std::size_t written = 0;
    for (std::size_t done = 0; done < count;) {
      const std::size_t n = std::min(count - done, kLanes);
      written += Open(in + done * stored_, n, stored_, false, out + written);
      done += n;
    }
    return written;
  }
  // Chunks opened elsewhere: the chunk run (version 2 only), and passing
  // over what it opened.
  virtual const ChunkRun* Run() const { return nullptr; }
  virtual void Skip(std::uint64_t) {}

 protected:
  explicit Body(std::size_t stored) : stored_(stored) {}
  std::size_t stored_;
};

class BodyV2 final : public Body {
 public:
  BodyV2(detail::UnlockedV2 unlocked, std::size_t headerBytes, const std::string& name)
      : Body(unlocked.header.chunkBytes + kChunkTagBytes),
        run_(unlocked.header.mode, unlocked.header.chunkBytes, headerBytes,
             std::move(unlocked.keys), unlocked.headerMac),
        tag_(run_.Tagger()),
        check_(run_.CheckWith(tag_, name)),
        name_(name) {}

  std::size_t Open(const std::uint8_t* in, std::size_t count, std::size_t lastSize, bool final,
                   std::uint8_t* out) override {
    std::size_t length = run_.OpenAt(in, count, lastSize, final, index_, check_, out);
    index_ += count;
    if (final) detail::Unpad(out, length, name_);
    return length;
  }

  // Enough full chunks are split between this thread and a second core,
  // the first half on the helper, each with a tag check of its own.
  std::size_t OpenFull(const std::uint8_t* in, std::size_t count, std::uint8_t* out) override {
    if (!TwoCoresFor(second_, count)) return Body::OpenFull(in, count, out);
    if (!helperTag_) {
      run_.Tagger(helperTag_);
      helperCheck_.emplace(run_.CheckWith(*helperTag_, name_));
    }
    const std::size_t chunk = run_.ChunkBytes();
    SplitHalves(*second_, count, [&](std::size_t from, std::size_t n, bool onHelper) {
      run_.OpenFull(in + from * stored_, n, index_ + from, onHelper ? *helperCheck_ : check_,
                    out + from * chunk);
    });
    index_ += count;
    return count * chunk;
  }

  const ChunkRun* Run() const override { return &run_; }
  void Skip(std::uint64_t chunks) override { index_ += chunks; }

 private:
  ChunkRun run_;
  ChunkAuthenticator tag_;
  ChunkCheck check_;
  std::string name_;
  std::uint64_t index_ = 0;
  std::unique_ptr<platform::SecondCore> second_;  // made for the first run large enough
  std::optional<ChunkAuthenticator> helperTag_;   // the second core's
  std::optional<ChunkCheck> helperCheck_;
};

class BodyV1 final : public Body {
 public:
  BodyV1(const HeaderInfo& info, std::vector<std::uint8_t> raw, const Secret& secret,
         const std::string& name)
      : Body(info.chunkBytes + format::kTagBytes),
        raw_(std::move(raw)),
        header_(detail::V1Header(info, raw_)),
        keys_(DeriveKeys(secret, header_)),
        cipher_(header_, keys_.encryption),
        keyed_({keys_.mac.data(), keys_.mac.size()}),
        mac_(keyed_),
        check_(
            [this](std::uint64_t index, bool last, const std::uint8_t* chunk, std::size_t size,
                   const std::uint8_t* tag) {
              return TagMatches(ChunkTag(mac_, raw_, index, last, chunk, size), tag);
            },
            format::kTagBytes, name, format::kHeaderBytes, stored_, false),
        name_(name) {}

  std::size_t Open(const std::uint8_t* in, std::size_t count, std::size_t lastSize, bool final,
                   std::uint8_t* out) override {
    constexpr std::size_t kPiece = Rc6::TQuorin::ChunkSize;
    Rc6::TQuorin& q = *cipher_.q;
    std::size_t written = 0;
    for (std::size_t c = 0; c < count; ++c) {
      const bool last = c + 1 == count;
      const std::uint8_t* stored = in + c * stored_;
      const std::size_t length =
          check_.Verify(stored, last ? lastSize : stored_, index_++, final && last);
      // The component's chain runs on through every chunk, piece by piece.
      for (std::size_t at = 0; at < length; at += kPiece) {
        const std::size_t piece = std::min(kPiece, length - at);
        std::memcpy(q.Buffer().data(), stored + at, piece);
        if (q.DecryptBuffer(static_cast<std::int32_t>(piece)) != 0)
          throw SealError("the component refused to decrypt");  // cannot happen: whole blocks
        std::memcpy(out + written, q.Buffer().data(), piece);
        written += piece;
      }
    }
    if (final) detail::Unpad(out, written, name_);
    return written;
  }

 private:
  std::vector<std::uint8_t> raw_;  // as read: every tag covers it
  format::Header header_;
  Keys keys_;
  detail::LockedCipher cipher_;
  const Mac keyed_;
  MacContext mac_;
  ChunkCheck check_;
  std::string name_;
  std::uint64_t index_ = 0;
};

}  // namespace

struct IncrementalOpener::State {
  std::vector<Secret> secrets;
  OpenOptions options;
  std::string name;
  std::vector<std::uint8_t> held;  // the header so far, then one stored chunk at most
  std::size_t lastTried = 0;       // how much of a header was too short
  std::optional<HeaderInfo> info;
  std::unique_ptr<Body> body;
  bool over = false;

  // Parses the header if `held` completes it; returns the bytes after it.
  bool ReadHeader(bool ending) {
    framework::TMemoryStream in;
    in.Write(held.data(), static_cast<std::int32_t>(held.size()));
    in.Seek(0, framework::TSeekOrigin::soBeginning);
    std::vector<std::uint8_t> raw;
    HeaderInfo h;
    try {
      h = detail::ReadHeader(in, raw, options, name);
    } catch (const TruncatedError&) {
      if (ending) throw;
      lastTried = held.size();
      return false;
    }
    std::vector<const Secret*> pointers;
    for (const Secret& s : secrets) pointers.push_back(&s);
    const Secret& usable = detail::UsableSecret(h, pointers, name);
    const std::size_t headerBytes = static_cast<std::size_t>(in.Position());
    raw.resize(headerBytes);  // version 1 reads a fixed size
    if (h.version == 2)
      body = std::make_unique<BodyV2>(detail::UnlockV2(raw, pointers, name), headerBytes, name);
    else
      body = std::make_unique<BodyV1>(h, std::move(raw), usable, name);
    info = std::move(h);
    held.erase(held.begin(), held.begin() + static_cast<std::ptrdiff_t>(headerBytes));
    return true;
  }

  void Usable() const {
    if (over) throw std::logic_error("the opener was finished or failed");
  }
  // Whether chunks may be opened elsewhere now.
  void Splittable() const {
    Usable();
    if (decoder || !body || !body->Run() || !held.empty())
      throw std::invalid_argument(
          "chunks are opened elsewhere only for a binary version-2 file, right after its header");
  }

  // Binary or armoured, on the input's first bytes.
  void Decide();
  std::size_t Push(std::span<const std::uint8_t> input, std::span<std::uint8_t> out);
  std::size_t PushBinary(std::span<const std::uint8_t> sealed, std::span<std::uint8_t> out);

  bool decided = false;
  std::vector<std::uint8_t> lead;          // the first bytes, until decided
  std::unique_ptr<ArmourDecoder> decoder;  // armoured input
  std::string decoded;
};

IncrementalOpener::IncrementalOpener(Secrets secrets, const OpenOptions& options, std::string name)
    : state_(std::make_unique<State>()) {
  for (const Secret* s : secrets) {
    if (s == nullptr) throw std::invalid_argument("a null secret");
    state_->secrets.push_back(s->Copy());
  }
  state_->options = options;
  state_->name = std::move(name);
}

IncrementalOpener::~IncrementalOpener() = default;

std::size_t IncrementalOpener::MostOutput(std::size_t inputBytes) const {
  // Plaintext is never longer than its sealed form, nor decoded armour
  // than its text; a sum past SIZE_MAX answers SIZE_MAX, which no caller
  // has room for.
  const State& s = *state_;
  const std::size_t held = s.held.size() + s.lead.size() + (s.decoder ? s.decoder->Held() : 0);
  return inputBytes > std::numeric_limits<std::size_t>::max() - held
             ? std::numeric_limits<std::size_t>::max()
             : held + inputBytes;
}

bool IncrementalOpener::HasHeader() const {
  return state_->info.has_value();
}

const HeaderInfo& IncrementalOpener::Header() const {
  if (!state_->info) throw std::logic_error("the header has not been read yet");
  return *state_->info;
}

std::size_t IncrementalOpener::ChunkKeys(std::span<std::uint8_t, kChunkKeysBytes> out) const {
  const State& s = *state_;
  s.Splittable();
  s.body->Run()->Export(out);
  return s.body->StoredChunk();
}

void IncrementalOpener::Skip(std::uint64_t chunks) {
  State& s = *state_;
  s.Splittable();
  s.body->Skip(chunks);
}

std::size_t IncrementalOpener::Update(std::span<const std::uint8_t> sealed,
                                      std::span<std::uint8_t> out) {
  State& s = *state_;
  s.Usable();
  if (out.size() < MostOutput(sealed.size()))
    throw std::invalid_argument("the output has less room than MostOutput asks for");
  s.over = true;  // until this call returns normally
  std::size_t written = 0;
  if (!s.decided) {
    s.lead.insert(s.lead.end(), sealed.begin(), sealed.end());
    if (s.lead.size() >= format::kMagicBytes) {
      s.Decide();
      written = s.Push(s.lead, out);
      s.lead.clear();
    }
  } else {
    written = s.Push(sealed, out);
  }
  s.over = false;
  return written;
}

void IncrementalOpener::State::Decide() {
  decided = true;
  if (!lead.empty() && !BeginsBinary(lead)) decoder = std::make_unique<ArmourDecoder>(name);
}

std::size_t IncrementalOpener::State::Push(std::span<const std::uint8_t> input,
                                           std::span<std::uint8_t> out) {
  if (!decoder) return PushBinary(input, out);
  decoded.clear();
  decoder->Update(input, decoded);
  return PushBinary({reinterpret_cast<const std::uint8_t*>(decoded.data()), decoded.size()}, out);
}

std::size_t IncrementalOpener::State::PushBinary(std::span<const std::uint8_t> sealed,
                                                 std::span<std::uint8_t> out) {
  State& s = *this;
  std::size_t written = 0;
  std::vector<std::uint8_t> afterHeader;
  if (!s.body) {
    s.held.insert(s.held.end(), sealed.begin(), sealed.end());
    // Parsed again only once the input has grown by half, so that a header
    // pushed byte by byte costs little.
    if (s.held.size() < s.lastTried + s.lastTried / 2 + 1 || !s.ReadHeader(false)) return 0;
    afterHeader.swap(s.held);
    sealed = afterHeader;
  }
  Body& opened = *s.body;
  const std::size_t stored = opened.StoredChunk();
  while (!sealed.empty()) {
    if (s.held.size() == stored) {  // more follows, so it was not the last
      written += opened.Open(s.held.data(), 1, stored, false, out.data() + written);
      s.held.clear();
    }
    if (s.held.empty()) {
      // Chunks wholly in the input with more input after them, side by side.
      const std::size_t count = (sealed.size() - 1) / stored;
      written += opened.OpenFull(sealed.data(), count, out.data() + written);
      sealed = sealed.subspan(count * stored);
    }
    const std::size_t n = std::min(sealed.size(), stored - s.held.size());
    s.held.insert(s.held.end(), sealed.begin(), sealed.begin() + static_cast<std::ptrdiff_t>(n));
    sealed = sealed.subspan(n);
  }
  return written;
}

std::size_t IncrementalOpener::Finish(std::span<std::uint8_t> out) {
  State& s = *state_;
  s.Usable();
  if (out.size() < MostOutput(0))
    throw std::invalid_argument("the output has less room than MostOutput asks for");
  s.over = true;
  std::size_t written = 0;
  if (!s.decided) {
    s.Decide();
    written = s.Push(s.lead, out);
    s.lead.clear();
  }
  if (s.decoder) {
    s.decoded.clear();
    s.decoder->Finish(s.decoded);
    written +=
        s.PushBinary({reinterpret_cast<const std::uint8_t*>(s.decoded.data()), s.decoded.size()},
                     out.subspan(written));
  }
  if (!s.body) s.ReadHeader(true);
  // Any byte after the header leaves a chunk held back, so none held means none given.
  if (s.held.empty())
    throw TruncatedError(s.name + " is truncated: it has a header but no sealed data");
  return written + s.body->Open(s.held.data(), 1, s.held.size(), true, out.data() + written);
}

}  // namespace quorin::seal
