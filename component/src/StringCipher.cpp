// String encryption: count-byte padding, then block by block through the
// chaining step, raw or armoured as StringMode says.
#include <cstring>

#include "quorin/Rc6.h"

namespace Rc6 {
inline namespace QUORIN_PACKAGE_NAMESPACE {
namespace {

// Only the last byte is looked at: 1..16 drops that many bytes, any other
// value exactly one.
std::size_t UnpadCount(std::uint8_t Last) {
  return Last >= 1 && Last <= TQuorin::BlockSize ? Last : 1;
}

}  // namespace

std::int32_t TQuorin::EncryptString(const std::string& Source, std::string& Dest) {
  if (const std::int32_t status = KeyStatus(); status != TStatus::Ok) return status;

  const std::size_t L = Source.size();
  const std::size_t p = BlockSize - L % BlockSize;  // 1..16
  if (FStringMode == TStringMode::smNormal) {
    // Raw output is written into Dest's own storage, the whole blocks
    // straight from Source; the final block (Source's tail and the padding)
    // is assembled in place. When Source is Dest, all of it is in place.
    const std::size_t whole = L / BlockSize;
    if (&Dest == &Source) {
      Dest.append(p, static_cast<char>(p));
      EncryptBlocksMode(reinterpret_cast<std::uint8_t*>(Dest.data()), whole + 1);
      return TStatus::Ok;
    }
    Dest.resize(L + p);
    auto* out = reinterpret_cast<std::uint8_t*>(Dest.data());
    std::memcpy(out + BlockSize * whole, Source.data() + BlockSize * whole, L % BlockSize);
    std::memset(out + L, static_cast<int>(p), p);
    EncryptBlocksMode(reinterpret_cast<const std::uint8_t*>(Source.data()), out, whole);
    EncryptBlocksMode(out + BlockSize * whole, 1);
    return TStatus::Ok;
  }
  // The padded copy is built apart from Dest, so Source and Dest may be one string.
  std::string W(L + p, static_cast<char>(p));
  std::memcpy(W.data(), Source.data(), L);
  EncryptBlocksMode(reinterpret_cast<std::uint8_t*>(W.data()), W.size() / BlockSize);
  Dest = EncodeString(W);
  return TStatus::Ok;
}

std::int32_t TQuorin::DecryptString(const std::string& Source, std::string& Dest) {
  if (const std::int32_t status = KeyStatus(); status != TStatus::Ok) return status;

  if (FStringMode == TStringMode::smNormal) {
    // Refused before Dest is touched; otherwise decrypted in Dest itself.
    if (Source.empty() || Source.size() % BlockSize != 0) return TStatus::BadCiphertext;
    const std::size_t blocks = Source.size() / BlockSize;
    if (&Dest != &Source) {
      Dest.resize(Source.size());
      DecryptBlocksMode(reinterpret_cast<const std::uint8_t*>(Source.data()),
                        reinterpret_cast<std::uint8_t*>(Dest.data()), blocks);
    } else {
      DecryptBlocksMode(reinterpret_cast<std::uint8_t*>(Dest.data()), blocks);
    }
    Dest.resize(Dest.size() - UnpadCount(static_cast<std::uint8_t>(Dest.back())));
    return TStatus::Ok;
  }
  // Read Source in full before Dest is touched.
  std::string P = DecodeString(Source);
  if (P.empty() || P.size() % BlockSize != 0) return TStatus::BadCiphertext;
  DecryptBlocksMode(reinterpret_cast<std::uint8_t*>(P.data()), P.size() / BlockSize);
  P.resize(P.size() - UnpadCount(static_cast<std::uint8_t>(P.back())));
  Dest = std::move(P);
  return TStatus::Ok;
}

}  // namespace QUORIN_PACKAGE_NAMESPACE
}  // namespace Rc6
