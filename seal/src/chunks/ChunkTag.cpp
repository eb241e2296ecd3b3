#include "chunks/ChunkTag.h"

namespace quorin::seal {

Tag ChunkTag(MacContext& tagKey, std::span<const std::uint8_t> binding, std::uint64_t index,
             bool last, const std::uint8_t* chunk, std::size_t size) {
  std::uint8_t position[9];
  for (int i = 0; i < 8; ++i) position[i] = static_cast<std::uint8_t>(index >> (8 * i));
  position[8] = last ? 1 : 0;
  return tagKey.Of({binding, position, {chunk, size}});
}

}  // namespace quorin::seal
