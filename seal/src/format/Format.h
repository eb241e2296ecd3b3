// The sealed format's fixed header: 64 bytes, little-endian integers.
//
//   0  magic "QUORSEAL"        32  salt (16 bytes)
//   8  version (u16) = 1       48  IV (16 bytes)
//  10  mode (u8)
//  11  secret kind (u8)
//  12  key bits (u16)
//  14  reserved (u16) = 0
//  16  chunk bytes (u32)
//  20  Argon2id passes (u32)
//  24  Argon2id memory in KiB (u32)
//  28  reserved (u32) = 0
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "quorin/seal/Seal.h"

namespace quorin::seal::format {

inline constexpr std::size_t kHeaderBytes = 64;
inline constexpr std::size_t kMagicBytes = 8;
inline constexpr char kMagic[kMagicBytes + 1] = "QUORSEAL";
inline constexpr std::uint16_t kVersion = 1;
inline constexpr std::size_t kSaltBytes = 16;
inline constexpr std::size_t kIVBytes = 16;
inline constexpr std::size_t kTagBytes = 32;
inline constexpr std::uint32_t kChunkBytes = 64 * 1024;
// The chunk sizes an opener accepts: whole blocks, at most 16 MiB.
inline constexpr std::uint32_t kLargestChunk = 16u << 20;

using Salt = std::array<std::uint8_t, kSaltBytes>;
using IV = std::array<std::uint8_t, kIVBytes>;
using HeaderBytes = std::array<std::uint8_t, kHeaderBytes>;

struct Header {
  HeaderInfo info;
  Salt salt;
  IV iv;
};

HeaderBytes Encode(const Header& header);

// Checks every field; throws the matching SealError naming `name`. bytes
// holds `size` bytes (fewer than kHeaderBytes when the input ended early).
Header Parse(const std::uint8_t* bytes, std::size_t size, const OpenOptions& limits,
             const std::string& name);

bool ValidKeyBits(int bits);
bool ValidChunkBytes(std::uint32_t bytes);  // whole blocks, 16 bytes to 16 MiB

// Throws CostLimitError for passphrase costs beyond the limits, else
// BadHeaderError for costs below Argon2id's minimum.
void CheckCosts(const Costs& costs, const OpenOptions& limits, const std::string& name);

// Throws std::invalid_argument for options no sealed file may carry.
void CheckOptions(const SealOptions& options, SecretKind kind);

}  // namespace quorin::seal::format
