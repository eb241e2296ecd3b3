// Fuzzes the C interface with random call sequences on a pair of handles:
// e encrypts and d decrypts, configured alike, so that every successful
// encryption must come back as the plaintext. Every status is a named one,
// a refused call leaves *dst_len as it was (but for a buffer too small,
// which gives the size needed), and a size query is never less than what
// the call then writes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "FuzzInput.h"
#include "quorin/quorin.h"

namespace {

bool Same(const void* a, const void* b, std::size_t n) {
  return n == 0 || std::memcmp(a, b, n) == 0;
}

void Named(int status) {
  if (std::strcmp(quorin_status_name(status), "QUORIN_UNKNOWN_STATUS") == 0) std::abort();
}

constexpr std::size_t kUntouched = 0xC0FFEE;

// A call with the size-query convention, with a buffer of a size the input
// picks: none (a query), too small, exact or larger. Checks the convention
// and returns the status, with the output in out.
template <class Call>
int Sized(FuzzInput& in, Call call, std::vector<std::uint8_t>& out) {
  std::size_t needed = kUntouched;
  const int query = call(nullptr, &needed);
  Named(query);
  if (query != QUORIN_OK) {
    if (needed != kUntouched) std::abort();
    return query;
  }
  const std::uint8_t how = in.Byte() % 4;
  const std::size_t room = how == 0 ? needed - (needed > 0) : how == 1 ? needed : needed + 7;
  out.assign(room + 1, 0xA5);
  std::size_t len = room;
  const int status = call(out.data(), &len);
  Named(status);
  if (status == QUORIN_BUFFER_TOO_SMALL) {
    if (len != needed || room >= needed) std::abort();
  } else if (status != QUORIN_OK) {
    if (len != room) std::abort();
  } else {
    if (len > needed || out[room] != 0xA5) std::abort();  // nothing past the room given
    out.resize(len);
  }
  return status;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzInput in(data, size);
  quorin* e = quorin_new();
  quorin* d = quorin_new();
  for (int steps = 0; steps < 64 && !in.Empty(); ++steps) {
    const std::uint8_t op = in.Byte() % 9;
    switch (op) {
      case 0: {  // properties, some out of range
        const int mode = in.Byte() % 6 - 1, keySize = in.Byte() % 5 - 1, form = in.Byte() % 4 - 1;
        for (quorin* q : {e, d}) {
          Named(quorin_set_mode(q, static_cast<quorin_mode>(mode)));
          Named(quorin_set_key_size(q, static_cast<quorin_key_size>(keySize)));
          Named(quorin_set_string_mode(q, static_cast<quorin_string_mode>(form)));
        }
        break;
      }
      case 1: {  // a key, possibly empty or long
        const auto key = in.Bytes(in.Size(300));
        for (quorin* q : {e, d}) Named(quorin_initialise(q, key.data(), key.size()));
        break;
      }
      case 2: {  // an IV of any length
        const auto iv = in.Bytes(in.Size(40));
        for (quorin* q : {e, d}) Named(quorin_load_iv(q, iv.data(), iv.size()));
        break;
      }
      case 3:
        quorin_burn(e);
        quorin_burn(d);
        break;
      case 4: {  // a block each way
        const auto plain = in.Bytes(16);
        std::uint8_t cipher[16], back[16];
        const int status = quorin_encrypt_block(e, plain.data(), cipher);
        Named(status);
        if (status != QUORIN_OK) break;
        if (quorin_decrypt_block(d, cipher, back) != QUORIN_OK) std::abort();
        if (std::memcmp(back, plain.data(), 16) != 0) std::abort();
        break;
      }
      case 5: {  // the work buffer, any count
        const auto count = static_cast<std::int32_t>(in.Size(4200)) - 40;
        const auto plain = in.Bytes(QUORIN_BUFFER_SIZE);
        std::memcpy(quorin_buffer(e), plain.data(), plain.size());
        const int status = quorin_encrypt_buffer(e, count);
        Named(status);
        if (status != QUORIN_OK) break;
        std::memcpy(quorin_buffer(d), quorin_buffer(e), QUORIN_BUFFER_SIZE);
        if (quorin_decrypt_buffer(d, count) != QUORIN_OK) std::abort();
        if (std::memcmp(quorin_buffer(d), plain.data(), static_cast<std::size_t>(count)) != 0)
          std::abort();
        break;
      }
      case 6: {  // a string each way
        const auto plain = in.Bytes(in.Size(5000));
        std::vector<std::uint8_t> cipher;
        const int status = Sized(
            in,
            [&](std::uint8_t* dst, std::size_t* len) {
              return quorin_encrypt_string(e, plain.data(), plain.size(), dst, len);
            },
            cipher);
        if (status != QUORIN_OK) break;
        std::vector<std::uint8_t> room(cipher.size() + 1);
        std::size_t backLen = room.size();
        if (quorin_decrypt_string(d, cipher.data(), cipher.size(), room.data(), &backLen) !=
                QUORIN_OK ||
            backLen != plain.size() || !Same(room.data(), plain.data(), backLen))
          std::abort();
        break;
      }
      case 7: {  // decryption of anything
        const auto junk = in.Bytes(in.Size(300));
        std::vector<std::uint8_t> out;
        Sized(
            in,
            [&](std::uint8_t* dst, std::size_t* len) {
              return quorin_decrypt_string(d, junk.data(), junk.size(), dst, len);
            },
            out);
        // d's chain may have moved: make e follow with the same bytes, or start both again.
        quorin_burn(e);
        quorin_burn(d);
        break;
      }
      default: {  // the armour alone, and the MAC
        const auto bytes = in.Bytes(in.Size(300));
        std::vector<std::uint8_t> text, back;
        if (Sized(
                in,
                [&](std::uint8_t* dst, std::size_t* len) {
                  return quorin_encode(bytes.data(), bytes.size(), reinterpret_cast<char*>(dst),
                                       len);
                },
                text) == QUORIN_OK) {
          std::size_t backLen = bytes.size() + 1;
          back.resize(backLen);
          if (quorin_decode(reinterpret_cast<const char*>(text.data()), text.size(), back.data(),
                            &backLen) != QUORIN_OK ||
              backLen != bytes.size() || !Same(back.data(), bytes.data(), backLen))
            std::abort();
        }
        std::uint8_t mac[16];
        char hex[33];
        Named(quorin_mac(e, mac));
        Named(quorin_mac_hex(e, hex));
      }
    }
  }
  quorin_free(e);
  quorin_free(d);
  return 0;
}
