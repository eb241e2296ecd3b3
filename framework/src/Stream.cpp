// Size and position in terms of Seek, valid for every kind of stream.
#include "quorin/framework/Stream.h"

namespace framework {

TStream::~TStream() = default;

std::int64_t TStream::GetSize() {
  const std::int64_t pos = Seek(0, TSeekOrigin::soCurrent);
  const std::int64_t size = Seek(0, TSeekOrigin::soEnd);
  Seek(pos, TSeekOrigin::soBeginning);
  return size;
}

std::int64_t TStream::Position() {
  return Seek(0, TSeekOrigin::soCurrent);
}

void TStream::SetPosition(std::int64_t Pos) {
  Seek(Pos, TSeekOrigin::soBeginning);
}

}  // namespace framework
