// Fuzzes opening sealed files: any bytes are refused with a SealError and
// never fault, and whatever is sealed opens to itself. The first byte
// chooses between opening the rest as a sealed file and a round trip of it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "quorin/framework/MemoryStream.h"
#include "quorin/seal/Seal.h"

using namespace quorin::seal;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  static const Secret secret = Secret::KeyFileBytes(std::vector<std::uint8_t>(32, 0x42));
  framework::TMemoryStream in, out;
  if (size > 1) in.Write(data + 1, static_cast<std::int32_t>(size - 1));
  in.SetPosition(0);
  if ((data[0] & 1) == 0) {
    try {
      OpenStream(in, out, secret, {1, 1 << 16, false});
    } catch (const SealError&) {
    }
    return 0;
  }
  framework::TMemoryStream sealed;
  SealStream(in, sealed, secret, {static_cast<Mode>(1 + data[0] / 2 % 3), 128, {}, false});
  sealed.SetPosition(0);
  OpenStream(sealed, out, secret);
  if (out.GetSize() != static_cast<std::int64_t>(size - 1) ||
      (size > 1 && std::memcmp(out.Memory(), data + 1, size - 1) != 0))
    std::abort();
  return 0;
}
