// The loops over the system's single reads and writes, the same on every platform.
#include "quorin/platform/SystemIo.h"

namespace quorin::platform::sysio {

long ReadFully(int Handle, void* Buffer, std::size_t Count) {
  auto* p = static_cast<unsigned char*>(Buffer);
  std::size_t done = 0;
  while (done < Count) {
    const long n = ReadSome(Handle, p + done, Count - done);
    if (n < 0) return -1;
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  return static_cast<long>(done);
}

long WriteFully(int Handle, const void* Buffer, std::size_t Count) {
  const auto* p = static_cast<const unsigned char*>(Buffer);
  std::size_t done = 0;
  while (done < Count) {
    const long n = WriteSome(Handle, p + done, Count - done);
    if (n < 0) return -1;
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  return static_cast<long>(done);
}

}  // namespace quorin::platform::sysio
