// The header of sealed format version 2: a fixed part, one stanza per
// recipient (each wraps the file key for one passphrase, key file or X25519
// public key) and a MAC over all of it.
//
//   0  magic "QUORSEAL"          16  chunk bytes (u32)
//   8  version (u16) = 2         20  reserved (u32) = 0
//  10  mode (u8)                 24  nonce (16 bytes)
//  11  reserved (u8) = 0         40  stanzas: type (u16), length (u16), body
//  12  key bits (u16)             …  header MAC (32 bytes)
//  14  stanza count (u16)
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "format/Format.h"
#include "quorin/seal/Seal.h"

namespace quorin::seal::format2 {

inline constexpr std::uint16_t kVersion = 2;
inline constexpr std::size_t kFixedBytes = 40;
inline constexpr std::size_t kNonceBytes = 16;
inline constexpr std::size_t kStanzaHeadBytes = 4;
inline constexpr std::size_t kHeaderMacBytes = 32;
inline constexpr std::size_t kMostStanzas = 64;
inline constexpr std::size_t kLargestStanza = 4096;
// Chunks are at most 1 MiB, so that a batch of them stays small.
inline constexpr std::uint32_t kLargestChunk = 1u << 20;

using Nonce = std::array<std::uint8_t, kNonceBytes>;

enum class StanzaType : std::uint16_t { Passphrase = 1, KeyFile = 2, X25519 = 3 };

struct Stanza {
  std::uint16_t type;
  std::vector<std::uint8_t> body;
};

struct Header {
  Mode mode;
  int keyBits;
  std::uint32_t chunkBytes;
  Nonce nonce;
  std::vector<Stanza> stanzas;
};

// Everything the header MAC covers: the fixed part and the stanzas.
std::vector<std::uint8_t> Encode(const Header& header);

// Reads the rest of a version 2 header from source, after the 10 bytes of
// magic and version already in `raw`, appending every byte read (the MAC
// too) to raw. Checks every field it knows, the passphrase's costs against
// the limits before anything is allocated for them; throws the matching
// SealError naming `name`.
Header Read(framework::TStream& source, std::vector<std::uint8_t>& raw, const OpenOptions& limits,
            const std::string& name);

// The secret kind a stanza type opens with; unknown types have none.
bool KnownType(std::uint16_t type, SecretKind* kind = nullptr);

// What the opener's caller sees of the header.
HeaderInfo Describe(const Header& header);

}  // namespace quorin::seal::format2
