// How many key bytes the schedule reads for each key size.
#pragma once

#include <cstddef>

#include "quorin/Rc6.h"

namespace Rc6::detail {

constexpr std::size_t KeyBytes(TKeySize Size) noexcept {
  switch (Size) {
    case TKeySize::Med192:
      return 24;
    case TKeySize::Large256:
      return 32;
    default:
      return 16;  // Small128, and any value outside the three sizes
  }
}

}  // namespace Rc6::detail
