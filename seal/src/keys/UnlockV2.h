// A version 2 header unlocked: the file key from the first stanza a given
// secret opens, the keys derived from it, and the header's MAC checked.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "crypto/Mac.h"
#include "format/FormatV2.h"
#include "keys/PayloadKeys.h"

namespace quorin::seal::detail {

struct UnlockedV2 {
  format2::Header header;
  PayloadKeys keys;
  MacValue headerMac;
};

// raw holds the whole header as read, its MAC last. Throws
// AuthenticationError when no secret opens a stanza or the MAC differs.
UnlockedV2 UnlockV2(const std::vector<std::uint8_t>& raw, Secrets secrets, const std::string& name);

}  // namespace quorin::seal::detail
