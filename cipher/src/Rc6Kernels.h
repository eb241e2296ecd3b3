// The multi-block kernels behind Rc6EncryptBlocks and Rc6DecryptBlocks, and
// the choice between them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "cipher/Rc6.h"

namespace cipher::kernels {

// Any number of blocks, any processor.
void EncryptPortable(const Rc6RoundKeys& S, const std::uint8_t* In, std::uint8_t* Out,
                     std::size_t Blocks) noexcept;
void DecryptPortable(const Rc6RoundKeys& S, const std::uint8_t* In, std::uint8_t* Out,
                     std::size_t Blocks) noexcept;

// Eight blocks at a time with AVX2; Blocks must be a multiple of 8. Only
// called when the processor has AVX2.
inline constexpr std::size_t kAvx2Batch = 8;
void EncryptAvx2(const Rc6RoundKeys& S, const std::uint8_t* In, std::uint8_t* Out,
                 std::size_t Blocks) noexcept;
void DecryptAvx2(const Rc6RoundKeys& S, const std::uint8_t* In, std::uint8_t* Out,
                 std::size_t Blocks) noexcept;

// Sixteen blocks at a time with AVX-512F; Blocks must be a multiple of 16.
// Only called when the processor and the system support AVX-512F.
inline constexpr std::size_t kAvx512Batch = 16;
void EncryptAvx512(const Rc6RoundKeys& S, const std::uint8_t* In, std::uint8_t* Out,
                   std::size_t Blocks) noexcept;
void DecryptAvx512(const Rc6RoundKeys& S, const std::uint8_t* In, std::uint8_t* Out,
                   std::size_t Blocks) noexcept;

// Four blocks at a time with WebAssembly's 128-bit SIMD; Blocks must be a
// multiple of 4. Each WebAssembly module links one of two definitions: the
// kernel (HasSimd128() true) or stubs that are never called.
inline constexpr std::size_t kSimd128Batch = 4;
bool HasSimd128() noexcept;
void EncryptSimd128(const Rc6RoundKeys& S, const std::uint8_t* In, std::uint8_t* Out,
                    std::size_t Blocks) noexcept;
void DecryptSimd128(const Rc6RoundKeys& S, const std::uint8_t* In, std::uint8_t* Out,
                    std::size_t Blocks) noexcept;

}  // namespace cipher::kernels
