// Version 2's keys, all from the file key and the header's nonce: a root
// (BLAKE2b of the nonce keyed with the file key, personalisation
// "QuorinPayload v2"), and from it, with libsodium's crypto_kdf (context
// "QuorSea2"), the header MAC key (id 1), the RC6 key (id 2), the tag key
// (id 3) and the IV key (id 4). Chunk i's IV is BLAKE2b-128 of i (u64,
// little-endian) keyed with the IV key.
#pragma once

#include "crypto/SecureBuffer.h"
#include "format/FormatV2.h"

namespace quorin::seal {

struct PayloadKeys {
  SecureBuffer headerMac;   // 32 bytes
  SecureBuffer encryption;  // keyBits / 8 bytes
  SecureBuffer tag;         // 32 bytes
  SecureBuffer iv;          // 32 bytes
};

PayloadKeys DerivePayloadKeys(const SecureBuffer& fileKey, const format2::Nonce& nonce,
                              int keyBits);

void ChunkIV(const SecureBuffer& ivKey, std::uint64_t index, std::uint8_t* iv16);

}  // namespace quorin::seal
