// Many strings in one call: each record goes through the component exactly
// as one string call on it would, after the IV its caller chose, and gets a
// status of its own. The records share two scratch strings, so a batch
// allocates nothing per record but the armour's text.
#include <algorithm>
#include <cstring>
#include <optional>
#include <string>

#include "Handle.h"
#include "RawStrings.h"
#include "Sizes.h"
#include "Status.h"
#include "Wipe.h"
#include "quorin/quorin.h"

using namespace quorin_capi;

namespace {

constexpr std::size_t kIv = Rc6::TQuorin::BlockSize;

struct Batch {
  const std::uint8_t* src;
  const std::int64_t* offsets;
  std::size_t count;
  quorin_iv_use iv_use;
  const std::uint8_t* ivs;
};

// Zeroes all a scratch string has held, its spare capacity too.
void WipeAll(std::string& s) {
  s.resize(s.capacity());
  quorin_capi::Wipe(s.data(), s.size());
}

std::size_t LengthOf(const Batch& b, std::size_t i) {
  return static_cast<std::size_t>(b.offsets[i + 1] - b.offsets[i]);
}

// The room the results need: per record, the output size of its length.
template <class Size>
std::optional<std::size_t> Needed(const Batch& b, Size size) {
  std::size_t total = 0;
  for (std::size_t i = 0; i < b.count; ++i) {
    const auto n = size(LengthOf(b, i));
    if (!n || *n > kMaxSize - total) return std::nullopt;
    total += *n;
  }
  return total;
}

std::size_t Longest(const Batch& b) {
  std::size_t longest = 0;
  for (std::size_t i = 0; i < b.count; ++i) longest = std::max(longest, LengthOf(b, i));
  return longest;
}

// What must hold before anything is touched: pointers, the IV choice and
// the offsets (non-negative, non-decreasing, within a size_t).
int CheckArguments(const quorin* q, const Batch& b, const std::size_t* dst_len,
                   const std::int32_t* statuses, bool statuses_needed) {
  if (q == nullptr || dst_len == nullptr) return Invalid("the handle or dst_len is NULL");
  if (b.offsets == nullptr) return Invalid("src_offsets is NULL");
  if (b.iv_use < QUORIN_IV_RESTART || b.iv_use > QUORIN_IV_CHAIN)
    return Invalid("iv_use is not one of the three");
  const bool ecb = q->component.CipherMode() == Rc6::TCipherMode::ECB;
  if (!ecb && b.iv_use != QUORIN_IV_CHAIN && b.ivs == nullptr && b.count > 0)
    return Invalid("ivs is NULL, and the mode chains from an IV");
  if (b.offsets[0] < 0) return Invalid("an offset is negative");
  for (std::size_t i = 0; i < b.count; ++i)
    if (b.offsets[i + 1] < b.offsets[i]) return Invalid("the offsets decrease");
  if (static_cast<std::uint64_t>(b.offsets[b.count]) > kMaxSize)
    return Invalid("an offset is beyond the address space");
  if (b.src == nullptr && b.offsets[b.count] > b.offsets[0]) return Invalid("src is NULL");
  if (statuses_needed && statuses == nullptr && b.count > 0) return Invalid("statuses is NULL");
  return QUORIN_OK;
}

// No key fails every record; so does chaining from no IV.
int CheckKey(Rc6::TQuorin& c, quorin_iv_use iv_use, const std::uint8_t* ivs) {
  // The buffer call reports the key's state before its count's.
  const std::int32_t status = c.EncryptBuffer(0);
  if (status == Rc6::TStatus::NoKey) return Fail(status);
  if (status == Rc6::TStatus::NoIV && iv_use == QUORIN_IV_CHAIN && ivs == nullptr)
    return Fail(status);
  return QUORIN_OK;
}

void LoadIv(Rc6::TQuorin& c, const Batch& b, std::size_t i) {
  if (c.CipherMode() == Rc6::TCipherMode::ECB || b.ivs == nullptr) return;
  if (b.iv_use == QUORIN_IV_RESTART || (b.iv_use == QUORIN_IV_CHAIN && i == 0))
    c.LoadIVByte({b.ivs, kIv}, kIv);
  else if (b.iv_use == QUORIN_IV_PER_RECORD)
    c.LoadIVByte({b.ivs + kIv * i, kIv}, kIv);
}

using Transform = std::int32_t (*)(Rc6::TQuorin& c, bool text, std::string& in, std::string& out);

std::int32_t EncryptOne(Rc6::TQuorin& c, bool text, std::string& in, std::string& out) {
  const std::int32_t status = c.EncryptString(in, out);
  if (status == QUORIN_OK && text) out = c.EncodeString(out);
  return status;
}

std::int32_t DecryptOne(Rc6::TQuorin& c, bool text, std::string& in, std::string& out) {
  if (text) in = c.DecodeString(in);
  return c.DecryptString(in, out);
}

int Run(quorin* q, const Batch& b, bool encrypt, std::uint8_t* dst, std::size_t* dst_len,
        std::int64_t* dst_offsets, std::int32_t* statuses) {
  if (int status = CheckArguments(q, b, dst_len, statuses, !encrypt); status != QUORIN_OK)
    return status;
  Rc6::TQuorin& c = q->component;
  const bool text = c.StringMode() == Rc6::TStringMode::smEncode;
  const auto needed = encrypt ? Needed(b,
                                       [text](std::size_t n) {
                                         const auto raw = PaddedLength(n);
                                         return text ? ArmourLength(raw) : raw;
                                       })
                              : Needed(b, [text](std::size_t n) -> std::optional<std::size_t> {
                                  return text ? DecodedLength(n) : n;
                                });
  if (int status = CheckKey(c, b.iv_use, b.ivs); status != QUORIN_OK) return status;
  bool query = false;
  if (int status = Room(dst, dst_len, needed, query); status != QUORIN_OK || query) return status;
  if (b.count > 0 && dst_offsets == nullptr) return Invalid("dst_offsets is NULL");

  return Guarded([&] {
    const Transform one = encrypt ? EncryptOne : DecryptOne;
    // Room for the longest record and its padding, so that the strings
    // holding plaintext never move (and leave a copy behind unwiped).
    std::string in, out;
    const std::size_t longest = Longest(b) + Rc6::TQuorin::BlockSize;
    (encrypt ? in : out).reserve(longest);
    std::size_t written = 0;
    dst_offsets[0] = 0;
    {
      const RawStrings raw(c);
      for (std::size_t i = 0; i < b.count; ++i) {
        const auto from = static_cast<std::size_t>(b.offsets[i]);
        in.assign(reinterpret_cast<const char*>(b.src) + from,
                  static_cast<std::size_t>(b.offsets[i + 1]) - from);
        LoadIv(c, b, i);
        const std::int32_t status = one(c, text, in, out);
        if (statuses != nullptr) statuses[i] = status;
        if (status == QUORIN_OK) {
          std::memcpy(dst + written, out.data(), out.size());
          written += out.size();
        }
        dst_offsets[i + 1] = static_cast<std::int64_t>(written);
      }
    }
    WipeAll(in);
    WipeAll(out);
    *dst_len = written;
    return QUORIN_OK;
  });
}

}  // namespace

extern "C" {

int quorin_encrypt_strings(quorin* q, const uint8_t* src, const int64_t* src_offsets, size_t count,
                           quorin_iv_use iv_use, const uint8_t* ivs, uint8_t* dst, size_t* dst_len,
                           int64_t* dst_offsets, int32_t* statuses) {
  return Run(q, {src, src_offsets, count, iv_use, ivs}, true, dst, dst_len, dst_offsets, statuses);
}

int quorin_decrypt_strings(quorin* q, const uint8_t* src, const int64_t* src_offsets, size_t count,
                           quorin_iv_use iv_use, const uint8_t* ivs, uint8_t* dst, size_t* dst_len,
                           int64_t* dst_offsets, int32_t* statuses) {
  return Run(q, {src, src_offsets, count, iv_use, ivs}, false, dst, dst_len, dst_offsets, statuses);
}

}  // extern "C"
