// String encryption: count-byte padding, then block by block through the
// chaining step, raw or armoured as StringMode says.
#include <cstring>

#include "quorin/Rc6.h"

namespace Rc6 {
inline namespace QUORIN_PACKAGE_NAMESPACE {

std::int32_t TQuorin::EncryptString(const std::string& Source, std::string& Dest) {
  if (const std::int32_t status = KeyStatus(); status != TStatus::Ok) return status;

  // The padded copy is built apart from Dest, so Source and Dest may be one string.
  const std::size_t L = Source.size();
  const std::size_t p = BlockSize - L % BlockSize;  // 1..16
  std::string W(L + p, static_cast<char>(p));
  std::memcpy(W.data(), Source.data(), L);
  EncryptBlocksMode(reinterpret_cast<std::uint8_t*>(W.data()), W.size() / BlockSize);
  if (FStringMode == TStringMode::smEncode)
    Dest = EncodeString(W);
  else
    Dest = std::move(W);
  return TStatus::Ok;
}

std::int32_t TQuorin::DecryptString(const std::string& Source, std::string& Dest) {
  if (const std::int32_t status = KeyStatus(); status != TStatus::Ok) return status;

  // Read Source in full before Dest is touched.
  std::string P;
  if (FStringMode == TStringMode::smEncode)
    P = DecodeString(Source);
  else
    P.assign(Source.data(), Source.size());
  if (P.empty() || P.size() % BlockSize != 0) return TStatus::BadCiphertext;
  DecryptBlocksMode(reinterpret_cast<std::uint8_t*>(P.data()), P.size() / BlockSize);
  // Only the last byte is looked at: 1..16 drops that many bytes, any other
  // value exactly one.
  const auto v = static_cast<std::uint8_t>(P.back());
  P.resize(P.size() - (v >= 1 && v <= BlockSize ? v : 1));
  Dest = std::move(P);
  return TStatus::Ok;
}

}  // namespace QUORIN_PACKAGE_NAMESPACE
}  // namespace Rc6
