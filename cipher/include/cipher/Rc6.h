// The RC6-32/20 block cipher: key schedule and block transforms.
//
// Knows nothing of chaining modes, padding or components. Blocks are 16 bytes,
// packed little-endian into the four words A, B, C, D. All operations run in
// constant time: no table look-ups or branches depend on key or data (the
// data-dependent rotations are single instructions on the supported targets).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace cipher {

inline constexpr int kRc6Rounds = 20;
inline constexpr std::size_t kRc6RoundKeyWords = 2 * kRc6Rounds + 4;  // 44
inline constexpr std::size_t kRc6BlockBytes = 16;
inline constexpr std::size_t kRc6MaxKeyBytes = 255;

using Rc6RoundKeys = std::array<std::uint32_t, kRc6RoundKeyWords>;

struct Rc6Words {
  std::uint32_t A, B, C, D;
};

// Expands a user key of 0 to 255 bytes into the 44 round keys, exactly as the
// published key schedule does for a key of that length (c = max(1, ceil(b/4))
// key words). Requires Key.size() <= kRc6MaxKeyBytes. Wipes its temporaries.
void Rc6ExpandKey(std::span<const std::uint8_t> Key, Rc6RoundKeys& S) noexcept;

Rc6Words Rc6EncryptWords(const Rc6RoundKeys& S, Rc6Words In) noexcept;
Rc6Words Rc6DecryptWords(const Rc6RoundKeys& S, Rc6Words In) noexcept;

// Process Blocks consecutive 16-byte blocks independently (no chaining), with
// the widest kernel the processor supports (AVX-512, sixteen blocks per
// register, or AVX2, eight) and the narrower ones for the rest. In and Out
// may be the same buffer; partial overlap is not allowed.
void Rc6EncryptBlocks(const Rc6RoundKeys& S, const std::uint8_t* In, std::uint8_t* Out,
                      std::size_t Blocks) noexcept;
void Rc6DecryptBlocks(const Rc6RoundKeys& S, const std::uint8_t* In, std::uint8_t* Out,
                      std::size_t Blocks) noexcept;

// The kernel in use: "avx512", "avx2" or "portable". QUORIN_CPU_DISABLE=avx512
// in the environment masks the first, =avx2 both.
const char* Rc6KernelName() noexcept;

// Little-endian packing of a 16-byte block.
Rc6Words Rc6LoadBlock(const std::uint8_t* Block) noexcept;
void Rc6StoreBlock(const Rc6Words& W, std::uint8_t* Block) noexcept;

}  // namespace cipher
