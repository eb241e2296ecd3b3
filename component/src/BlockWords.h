// A 16-byte block as the cipher's four little-endian words.
#pragma once

#include "cipher/Endian.h"
#include "cipher/Rc6.h"
#include "quorin/Rc6.h"

namespace Rc6::detail {

inline cipher::Rc6Words LoadWords(const TBlock& b) noexcept {
  return {cipher::LoadLE32(&b[0]), cipher::LoadLE32(&b[4]), cipher::LoadLE32(&b[8]),
          cipher::LoadLE32(&b[12])};
}

inline void StoreWords(const cipher::Rc6Words& w, TBlock& b) noexcept {
  cipher::StoreLE32(w.A, &b[0]);
  cipher::StoreLE32(w.B, &b[4]);
  cipher::StoreLE32(w.C, &b[8]);
  cipher::StoreLE32(w.D, &b[12]);
}

}  // namespace Rc6::detail
