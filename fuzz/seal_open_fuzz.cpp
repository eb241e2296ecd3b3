// Fuzzes opening sealed files of both versions: any bytes are refused with
// a SealError and never fault, and whatever is sealed opens to itself. The
// first byte chooses between opening the rest as a sealed file and a round
// trip of it (its mode and format version).
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
  static const Secret key = Secret::KeyFileBytes(std::vector<std::uint8_t>(32, 0x42));
  static const Secret identity = Secret::NewIdentity();
  const Secret* both[] = {&key, &identity};
  framework::TMemoryStream in, out;
  if (size > 1) in.Write(data + 1, static_cast<std::int32_t>(size - 1));
  in.SetPosition(0);
  if ((data[0] & 1) == 0) {
    OpenOptions limits;
    limits.maxPasses = 1;
    limits.maxMemoryBytes = 1 << 16;
    try {
      OpenStream(in, out, both, limits);
    } catch (const SealError&) {
    }
    return 0;
  }
  SealOptions options;
  options.mode = static_cast<Mode>(1 + data[0] / 2 % 3);
  options.keyBits = 128;
  options.formatVersion = (data[0] & 0x80) != 0 ? 1 : 2;
  if (options.formatVersion == 2) options.recipients.push_back(Recipient::Of(identity));
  framework::TMemoryStream sealed;
  SealStream(in, sealed, key, options);
  sealed.SetPosition(0);
  OpenStream(sealed, out, options.formatVersion == 2 ? identity : key);
  if (out.GetSize() != static_cast<std::int64_t>(size - 1) ||
      (size > 1 && std::memcmp(out.Memory(), data + 1, size - 1) != 0))
    std::abort();
  return 0;
}
