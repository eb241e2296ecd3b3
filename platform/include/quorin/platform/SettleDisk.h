// Writes the page cache's dirty pages out before timing begins, so that
// writeback of earlier runs does not land in the timed calls.
#pragma once

namespace quorin::platform {

void SettleDisk();

}  // namespace quorin::platform
