// Fuzzes keying and IV loading with any key, IV and counts: a Count beyond
// the array throws std::out_of_range and changes nothing, a Count of 0 or
// less is refused with -2 (keys) or loads nothing (IVs), and every key that
// is accepted encrypts a block that decrypts back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>
#include <stdexcept>

#include "quorin/Rc6.h"

namespace {

std::int32_t Count(const std::uint8_t* p) {
  std::uint32_t v;
  std::memcpy(&v, p, sizeof v);
  // Mostly small counts near the array's length, sometimes any 32-bit value.
  if ((v & 0x80000000u) == 0) return static_cast<std::int32_t>(v % 600) - 20;
  return static_cast<std::int32_t>(v);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 10) return 0;
  const std::int32_t keyCount = Count(data), ivCount = Count(data + 4);
  const std::uint8_t split = data[8];
  const auto mode = static_cast<Rc6::TCipherMode>(data[9] & 3);
  data += 10, size -= 10;
  const std::size_t keyLength = std::min<std::size_t>(split, size);
  const std::span<const std::uint8_t> key(data, keyLength), iv(data + keyLength, size - keyLength);

  Rc6::TQuorin q(nullptr);
  q.SetCipherMode(mode);
  q.SetKeySize(static_cast<Rc6::TKeySize>(split % 3));
  std::int32_t status;
  try {
    status = q.InitialiseByte(key, keyCount);
    if (keyCount > 0 && static_cast<std::size_t>(keyCount) > key.size()) std::abort();
  } catch (const std::out_of_range&) {
    if (keyCount <= 0 || static_cast<std::size_t>(keyCount) <= key.size()) std::abort();
    status = -1;
  }
  if ((keyCount <= 0) != (status == -2) && status != -1) std::abort();
  try {
    q.LoadIVByte(iv, ivCount);
    if (ivCount > 0 && static_cast<std::size_t>(ivCount) > iv.size()) std::abort();
  } catch (const std::out_of_range&) {
    if (ivCount <= 0 || static_cast<std::size_t>(ivCount) <= iv.size()) std::abort();
    q.LoadIVByte(iv, 0);
  }
  if (status != 0) {
    Rc6::TBlock in{}, out{};
    if (q.EncryptBlock(in, out) != -1) std::abort();  // still no key
    return 0;
  }
  Rc6::TBlock plain{}, cipher{}, back{};
  for (std::size_t i = 0; i < plain.size() && i < size; ++i) plain[i] = data[size - 1 - i];
  Rc6::TQuorin dec(nullptr);
  dec.SetCipherMode(mode);
  dec.SetKeySize(q.KeySize());
  if (dec.InitialiseByte(key, keyCount) != 0) std::abort();
  dec.LoadIVByte(iv, ivCount > 0 && static_cast<std::size_t>(ivCount) <= iv.size() ? ivCount : 0);
  if (q.EncryptBlock(plain, cipher) != 0 || dec.DecryptBlock(cipher, back) != 0) std::abort();
  if (back != plain) std::abort();
  return 0;
}
