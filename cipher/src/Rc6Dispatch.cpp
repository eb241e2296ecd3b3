// Rc6EncryptBlocks and Rc6DecryptBlocks: the widest kernel the processor
// supports takes whole batches, the narrower ones what is left, the portable
// kernel the last few blocks. The environment variable QUORIN_CPU_DISABLE
// (read once) takes kernels away so that every path can be tested on one
// machine: "avx512" leaves AVX2 and the portable kernel, "avx2" leaves the
// portable kernel alone. WebAssembly has one SIMD kernel or none, as its
// module was built; the package picks the module.
#include <cstdlib>
#include <cstring>

#include "Rc6Kernels.h"

namespace cipher {
namespace {

enum class Level { Portable, Avx2, Avx512, Simd128 };

Level Chosen() {
  static const Level level = [] {
#if defined(__x86_64__) || defined(__i386__)
    const char* disable = std::getenv("QUORIN_CPU_DISABLE");
    const auto disabled = [&](const char* name) {
      return disable != nullptr && std::strstr(disable, name) != nullptr;
    };
    if (disabled("avx2") || __builtin_cpu_supports("avx2") == 0) return Level::Portable;
#if defined(__x86_64__)
    // The compiler's check includes the system's support for the wider registers.
    if (!disabled("avx512") && __builtin_cpu_supports("avx512f") != 0) return Level::Avx512;
#endif
    return Level::Avx2;
#elif defined(__EMSCRIPTEN__)
    return kernels::HasSimd128() ? Level::Simd128 : Level::Portable;
#else
    return Level::Portable;
#endif
  }();
  return level;
}

}  // namespace

const char* Rc6KernelName() noexcept {
  switch (Chosen()) {
    case Level::Avx512:
      return "avx512";
    case Level::Avx2:
      return "avx2";
    case Level::Simd128:
      return "simd128";
    case Level::Portable:
      break;
  }
  return "portable";
}

namespace {

using Kernel = void (*)(const Rc6RoundKeys&, const std::uint8_t*, std::uint8_t*,
                        std::size_t) noexcept;

struct Kernels {
  Kernel avx512, avx2, simd128, portable;
};

void Run(const Kernels& k, const Rc6RoundKeys& S, const std::uint8_t* In, std::uint8_t* Out,
         std::size_t Blocks) noexcept {
  const Level level = Chosen();
  const auto take = [&](Kernel kernel, std::size_t batch) {
    const std::size_t whole = Blocks - Blocks % batch;
    if (whole == 0) return;
    kernel(S, In, Out, whole);
    In += kRc6BlockBytes * whole, Out += kRc6BlockBytes * whole, Blocks -= whole;
  };
  if (level == Level::Avx512) take(k.avx512, kernels::kAvx512Batch);
  if (level == Level::Avx512 || level == Level::Avx2) take(k.avx2, kernels::kAvx2Batch);
  if (level == Level::Simd128) take(k.simd128, kernels::kSimd128Batch);
  if (Blocks != 0) k.portable(S, In, Out, Blocks);
}

#if defined(__EMSCRIPTEN__)
constexpr Kernels kEncrypt{kernels::EncryptAvx512, kernels::EncryptAvx2, kernels::EncryptSimd128,
                           kernels::EncryptPortable};
constexpr Kernels kDecrypt{kernels::DecryptAvx512, kernels::DecryptAvx2, kernels::DecryptSimd128,
                           kernels::DecryptPortable};
#else  // native builds link no WebAssembly kernel
constexpr Kernels kEncrypt{kernels::EncryptAvx512, kernels::EncryptAvx2, nullptr,
                           kernels::EncryptPortable};
constexpr Kernels kDecrypt{kernels::DecryptAvx512, kernels::DecryptAvx2, nullptr,
                           kernels::DecryptPortable};
#endif

}  // namespace

void Rc6EncryptBlocks(const Rc6RoundKeys& S, const std::uint8_t* In, std::uint8_t* Out,
                      std::size_t Blocks) noexcept {
  Run(kEncrypt, S, In, Out, Blocks);
}

void Rc6DecryptBlocks(const Rc6RoundKeys& S, const std::uint8_t* In, std::uint8_t* Out,
                      std::size_t Blocks) noexcept {
  Run(kDecrypt, S, In, Out, Blocks);
}

}  // namespace cipher
