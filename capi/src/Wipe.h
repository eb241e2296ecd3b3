// The platform's wipe, for the files that declare the C handle `quorin`,
// whose name a namespace of the same name in scope would clash with.
#pragma once

#include <cstddef>

namespace quorin_capi {

void Wipe(void* data, std::size_t size) noexcept;

}  // namespace quorin_capi
