// The cipher core as methods of the component, delegating to the RC6 core.
#include <bit>
#include <stdexcept>

#include "BlockWords.h"
#include "KeyBytes.h"
#include "cipher/Rc6.h"
#include "cipher/Rc6Rounds.h"
#include "quorin/Rc6.h"

namespace Rc6 {
inline namespace QUORIN_PACKAGE_NAMESPACE {
void TQuorin::rc6_key_setup(std::span<const std::uint8_t> K, std::int32_t /*KeyLen*/) {
  // The round keys depend on KeySize and the first b key bytes alone; the
  // length argument is kept for callers of the published interface.
  const std::size_t b = detail::KeyBytes(FKeySize);
  if (K.size() < b)
    throw std::out_of_range("rc6_key_setup: key array of " + std::to_string(K.size()) +
                            " bytes is shorter than the " + std::to_string(b) +
                            " bytes KeySize needs");
  cipher::Rc6ExpandKey(K.first(b), FS);
}

#if defined(QUORIN_FEATURES_1_10)
void TQuorin::rotl(std::int32_t& X, std::int32_t Amount) const {
  X = static_cast<std::int32_t>(std::rotl(static_cast<std::uint32_t>(X), Amount & 31));
}
void TQuorin::rotr(std::int32_t& X, std::int32_t Amount) const {
  X = static_cast<std::int32_t>(std::rotr(static_cast<std::uint32_t>(X), Amount & 31));
}
#else
void TQuorin::rotl(std::uint32_t& X, std::int32_t Amount) const {
  X = std::rotl(X, Amount & 31);
}
void TQuorin::rotr(std::uint32_t& X, std::int32_t Amount) const {
  X = std::rotr(X, Amount & 31);
}
#endif

void TQuorin::rc6_block_encrypt(const TQuadWord& In, TQuadWord& Out) const {
  const cipher::Rc6Words w = cipher::Rc6EncryptWords(FS, {In.A, In.B, In.C, In.D});
  Out = {w.A, w.B, w.C, w.D};
}

void TQuorin::rc6_block_decrypt(const TQuadWord& In, TQuadWord& Out) const {
  const cipher::Rc6Words w = cipher::Rc6DecryptWords(FS, {In.A, In.B, In.C, In.D});
  Out = {w.A, w.B, w.C, w.D};
}

// One block: the rounds inlined here, with no kernel dispatch between a
// single-block call and the work.
void TQuorin::EncBlock() {
  detail::StoreWords(cipher::rounds::Encrypt(FS, detail::LoadWords(FBlock)), FBlock);
}

void TQuorin::DecBlock() {
  detail::StoreWords(cipher::rounds::Decrypt(FS, detail::LoadWords(FBlock)), FBlock);
}

}  // namespace QUORIN_PACKAGE_NAMESPACE
}  // namespace Rc6
