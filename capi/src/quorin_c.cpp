// The C interface over TQuorin: handles, status codes for every outcome,
// caller-supplied output buffers, and no exception crossing the boundary.
#include <algorithm>
#include <cstring>
#include <exception>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>

#include "Handle.h"
#include "RawStrings.h"
#include "Sizes.h"
#include "Status.h"
#include "Wipe.h"
#include "quorin/Rc6.h"
#include "quorin/framework/SysUtils.h"
#include "quorin/quorin.h"

using namespace quorin_capi;

namespace {

std::size_t LengthOf(const void* src, std::size_t len) {
  return len == QUORIN_NUL_TERMINATED ? std::strlen(static_cast<const char*>(src)) : len;
}

void Deliver(const std::string& result, void* dst, std::size_t* dst_len) {
  std::memcpy(dst, result.data(), result.size());
  *dst_len = result.size();
}

// The armour of bytes, NUL-terminated, straight into dst: whole groups of
// three bytes encode alone as they do within the whole, so no armoured copy
// of all of it is made.
void DeliverArmour(const void* bytes, std::size_t size, void* dst, std::size_t* dst_len) {
  constexpr std::size_t kPiece = 3 * 4096;
  static const Rc6::TQuorin codec(nullptr);  // the armour needs no key
  const auto* in = static_cast<const char*>(bytes);
  auto* out = static_cast<char*>(dst);
  std::size_t written = 0;
  for (std::size_t at = 0; at < size; at += kPiece) {
    const std::string text = codec.EncodeString(std::string(in + at, std::min(kPiece, size - at)));
    std::memcpy(out + written, text.data(), text.size());
    written += text.size();
  }
  out[written] = '\0';
  *dst_len = written;
}

// The source as a string the component can transform in place, with room
// for the padding, so that no second copy of the data is made.
std::string Staged(const std::uint8_t* src, std::size_t length) {
  std::string staged;
  staged.reserve(length + 16);
  staged.assign(reinterpret_cast<const char*>(src), length);
  return staged;
}

// Zeroes a string that held plaintext before it is freed.
void Wipe(std::string& s) {
  quorin_capi::Wipe(s.data(), s.size());
}

// A block through the component; in and out may be the same.
int OneBlock(quorin* q, const uint8_t* in, uint8_t* out,
             std::int32_t (Rc6::TQuorin::*operation)(const Rc6::TBlock&, Rc6::TBlock&)) {
  if (q == nullptr || in == nullptr || out == nullptr) return Invalid("a pointer is NULL");
  Rc6::TBlock a, b;
  std::memcpy(a.data(), in, a.size());
  const int status = Guarded([&] { return (q->component.*operation)(a, b); });
  if (status == QUORIN_OK) std::memcpy(out, b.data(), b.size());
  return status;
}

}  // namespace

extern "C" {

quorin* quorin_new(void) {
  try {
    return new quorin;
  } catch (...) {
    Fail(QUORIN_NO_MEMORY);
    return nullptr;
  }
}

void quorin_free(quorin* q) {
  delete q;  // the component's destructor wipes the key material and the work buffer
}

int quorin_set_mode(quorin* q, quorin_mode mode) {
  if (q == nullptr) return Invalid("the handle is NULL");
  if (mode < QUORIN_ECB || mode > QUORIN_OFB) return Invalid("the mode is not one of the four");
  q->component.SetCipherMode(static_cast<Rc6::TCipherMode>(mode));
  return QUORIN_OK;
}

quorin_mode quorin_get_mode(const quorin* q) {
  if (q == nullptr) return Invalid("the handle is NULL"), QUORIN_ECB;
  return static_cast<quorin_mode>(q->component.CipherMode());
}

int quorin_set_key_size(quorin* q, quorin_key_size size) {
  if (q == nullptr) return Invalid("the handle is NULL");
  const int bits = static_cast<int>(size);
  const int ordinal = bits == 0 || bits == 128   ? 0
                      : bits == 1 || bits == 192 ? 1
                      : bits == 2 || bits == 256 ? 2
                                                 : -1;
  if (ordinal < 0) return Invalid("the key size is 128, 192 or 256 bits");
  q->component.SetKeySize(static_cast<Rc6::TKeySize>(ordinal));
  return QUORIN_OK;
}

quorin_key_size quorin_get_key_size(const quorin* q) {
  if (q == nullptr) return Invalid("the handle is NULL"), QUORIN_KEY_128;
  return static_cast<quorin_key_size>(128 + 64 * static_cast<int>(q->component.KeySize()));
}

int quorin_set_string_mode(quorin* q, quorin_string_mode mode) {
  if (q == nullptr) return Invalid("the handle is NULL");
  if (mode < QUORIN_STRING_ENCODE || mode > QUORIN_STRING_NORMAL)
    return Invalid("the string mode is neither encode nor normal");
  q->component.SetStringMode(static_cast<Rc6::TStringMode>(mode));
  return QUORIN_OK;
}

quorin_string_mode quorin_get_string_mode(const quorin* q) {
  if (q == nullptr) return Invalid("the handle is NULL"), QUORIN_STRING_ENCODE;
  return static_cast<quorin_string_mode>(q->component.StringMode());
}

int quorin_initialise(quorin* q, const uint8_t* key, size_t key_len) {
  if (q == nullptr || (key == nullptr && key_len != 0)) return Invalid("the handle or key is NULL");
  if (key_len == 0) return Fail(QUORIN_EMPTY_KEY);
  // The component stages at most 256 key bytes; a longer key is cut there too.
  const auto count = static_cast<std::int32_t>(key_len < 256 ? key_len : 256);
  return Guarded([&] {
    return q->component.InitialiseByte({key, static_cast<std::size_t>(count)}, count);
  });
}

int quorin_load_iv(quorin* q, const uint8_t* iv, size_t iv_len) {
  if (q == nullptr || (iv == nullptr && iv_len != 0)) return Invalid("the handle or IV is NULL");
  if (iv_len > INT32_MAX) return Invalid("the IV is too long");
  return Guarded([&] {
    q->component.LoadIVByte({iv, iv_len}, static_cast<std::int32_t>(iv_len));
    return QUORIN_OK;
  });
}

void quorin_burn(quorin* q) {
  if (q != nullptr) q->component.Burn();
}

const char* quorin_version(void) {
  return QUORIN_VERSION;  // the project's, from its build
}

int quorin_encrypt_block(quorin* q, const uint8_t in[16], uint8_t out[16]) {
  return OneBlock(q, in, out, &Rc6::TQuorin::EncryptBlock);
}

int quorin_decrypt_block(quorin* q, const uint8_t in[16], uint8_t out[16]) {
  return OneBlock(q, in, out, &Rc6::TQuorin::DecryptBlock);
}

uint8_t* quorin_buffer(quorin* q) {
  return q == nullptr ? nullptr : q->component.Buffer().data();
}

int quorin_encrypt_buffer(quorin* q, int32_t count) {
  if (q == nullptr) return Invalid("the handle is NULL");
  return Guarded([&] { return q->component.EncryptBuffer(count); });
}

int quorin_decrypt_buffer(quorin* q, int32_t count) {
  if (q == nullptr) return Invalid("the handle is NULL");
  return Guarded([&] { return q->component.DecryptBuffer(count); });
}

namespace {

// Whole blocks through the work buffer, a chunk at a time. The component
// checks its key before a buffer's count, so a count of 0 reports the key's
// state and changes nothing.
int Blocks(quorin* q, const uint8_t* src, uint8_t* dst, size_t len, bool encrypt) {
  if (q == nullptr) return Invalid("the handle is NULL");
  if (len % Rc6::TQuorin::BlockSize != 0)
    return Fail(QUORIN_INVALID_ARGUMENT,
                "the length must be a whole number of 16-byte blocks, not " + std::to_string(len) +
                    " bytes");
  if (len > 0 && (src == nullptr || dst == nullptr)) return Invalid("src or dst is NULL");
  return Guarded([&]() -> int {
    Rc6::TQuorin& c = q->component;
    const auto run = [&](std::int32_t count) {
      return encrypt ? c.EncryptBuffer(count) : c.DecryptBuffer(count);
    };
    if (const std::int32_t status = run(0); status != Rc6::TStatus::BadCount) return status;
    std::uint8_t* buffer = c.Buffer().data();
    for (size_t at = 0; at < len; at += Rc6::TQuorin::ChunkSize) {
      const size_t n = std::min(len - at, Rc6::TQuorin::ChunkSize);
      std::memcpy(buffer, src + at, n);
      if (const std::int32_t status = run(static_cast<std::int32_t>(n)); status != QUORIN_OK)
        return status;
      std::memcpy(dst + at, buffer, n);
    }
    return QUORIN_OK;
  });
}

}  // namespace

int quorin_encrypt_blocks(quorin* q, const uint8_t* src, uint8_t* dst, size_t len) {
  return Blocks(q, src, dst, len, true);
}

int quorin_decrypt_blocks(quorin* q, const uint8_t* src, uint8_t* dst, size_t len) {
  return Blocks(q, src, dst, len, false);
}

int quorin_encrypt_string(quorin* q, const uint8_t* src, size_t src_len, uint8_t* dst,
                          size_t* dst_len) {
  if (q == nullptr || dst_len == nullptr || (src == nullptr && src_len != 0))
    return Invalid("the handle, the source or dst_len is NULL");
  const std::size_t length = src == nullptr ? 0 : LengthOf(src, src_len);
  const bool text = q->component.StringMode() == Rc6::TStringMode::smEncode;
  bool query = false;
  const auto raw = PaddedLength(length);
  if (int status = Room(dst, dst_len, text ? WithNul(ArmourLength(raw)) : raw, query);
      status != QUORIN_OK || query)
    return status;
  return Guarded([&] {
    // Encrypted in place in one copy of the source, raw; armoured from there.
    std::string staged = Staged(src, length);
    std::int32_t status;
    {
      const RawStrings rawMode(q->component);
      status = q->component.EncryptString(staged, staged);
    }
    if (status != QUORIN_OK) return status;
    if (text)
      DeliverArmour(staged.data(), staged.size(), dst, dst_len);
    else
      Deliver(staged, dst, dst_len);
    return status;
  });
}

int quorin_decrypt_string(quorin* q, const uint8_t* src, size_t src_len, uint8_t* dst,
                          size_t* dst_len) {
  if (q == nullptr || dst_len == nullptr || (src == nullptr && src_len != 0))
    return Invalid("the handle, the source or dst_len is NULL");
  const std::size_t length = src == nullptr ? 0 : LengthOf(src, src_len);
  const bool text = q->component.StringMode() == Rc6::TStringMode::smEncode;
  bool query = false;
  // An upper bound: the padding is not known before decryption.
  if (int status = Room(dst, dst_len, text ? DecodedLength(length) : length, query);
      status != QUORIN_OK || query)
    return status;
  return Guarded([&] {
    std::string staged = Staged(src, length), plain;
    // Raw ciphertext is decrypted in place; armour is decoded first.
    std::string& result = text ? plain : staged;
    const std::int32_t status = q->component.DecryptString(staged, result);
    if (status == QUORIN_OK) Deliver(result, dst, dst_len);
    Wipe(result);
    return status;
  });
}

int quorin_encrypt_file(quorin* q, const char* in_path, const char* out_path) {
  if (q == nullptr || in_path == nullptr || out_path == nullptr)
    return Invalid("the handle or a path is NULL");
  return Guarded([&] { return q->component.EncryptFile(in_path, out_path); });
}

int quorin_decrypt_file(quorin* q, const char* in_path, const char* out_path) {
  if (q == nullptr || in_path == nullptr || out_path == nullptr)
    return Invalid("the handle or a path is NULL");
  return Guarded([&] { return q->component.DecryptFile(in_path, out_path); });
}

int quorin_mac(quorin* q, uint8_t out[16]) {
  if (q == nullptr || out == nullptr) return Invalid("a pointer is NULL");
  Rc6::TBlock mac{};
  const int status = Guarded([&] { return q->component.CBCMACBlock(mac); });
  if (status == QUORIN_OK) std::memcpy(out, mac.data(), mac.size());
  return status;
}

int quorin_mac_hex(quorin* q, char out[33]) {
  if (q == nullptr || out == nullptr) return Invalid("a pointer is NULL");
  return Guarded([&] {
    std::string hex;
    const std::int32_t status = q->component.CBCMACString(hex);
    if (status == QUORIN_OK) std::memcpy(out, hex.c_str(), 33);
    return status;
  });
}

int quorin_encode(const uint8_t* src, size_t src_len, char* dst, size_t* dst_len) {
  if (dst_len == nullptr || (src == nullptr && src_len != 0))
    return Invalid("the source or dst_len is NULL");
  bool query = false;
  if (int status = Room(dst, dst_len, WithNul(ArmourLength(src_len)), query);
      status != QUORIN_OK || query)
    return status;
  return Guarded([&] {
    DeliverArmour(src, src == nullptr ? 0 : src_len, dst, dst_len);
    return QUORIN_OK;
  });
}

int quorin_decode(const char* src, size_t src_len, uint8_t* dst, size_t* dst_len) {
  if (dst_len == nullptr || (src == nullptr && src_len != 0))
    return Invalid("the source or dst_len is NULL");
  const std::size_t length = src == nullptr ? 0 : LengthOf(src, src_len);
  bool query = false;
  if (int status = Room(dst, dst_len, DecodedLength(length), query); status != QUORIN_OK || query)
    return status;
  return Guarded([&] {
    Deliver(Rc6::TQuorin(nullptr).DecodeString(std::string(src == nullptr ? "" : src, length)), dst,
            dst_len);
    return QUORIN_OK;
  });
}

}  // extern "C"
