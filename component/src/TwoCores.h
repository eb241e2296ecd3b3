// Where the component's bulk operations take a second core: inputs from
// 8 MiB on, in the modes whose blocks do not wait on each other.
#pragma once

#include <cstdint>

#include "quorin/platform/SecondCore.h"

namespace Rc6::detail {

inline constexpr std::int64_t kTwoCoresFrom = std::int64_t{8} << 20;
class TSecondCore : public quorin::platform::SecondCore {
 public:
  using SecondCore::SecondCore;
};

}  // namespace Rc6::detail
