// Rc6EncryptBlocks and Rc6DecryptBlocks: the widest kernel the processor
// supports takes whole batches, the portable kernel the rest. Setting the
// environment variable QUORIN_CPU_DISABLE to "avx2" (read once) forces the
// portable kernel, so that every path can be tested on one machine.
#include <cstdlib>
#include <cstring>

#include "Rc6Kernels.h"

namespace cipher {
namespace {

bool UseAvx2() {
  static const bool use = [] {
#if defined(__x86_64__) || defined(__i386__)
    const char* disable = std::getenv("QUORIN_CPU_DISABLE");
    if (disable != nullptr && std::strstr(disable, "avx2") != nullptr) return false;
    return __builtin_cpu_supports("avx2") != 0;
#else
    return false;
#endif
  }();
  return use;
}

}  // namespace

const char* Rc6KernelName() noexcept {
  return UseAvx2() ? "avx2" : "portable";
}

namespace {

using Kernel = void (*)(const Rc6RoundKeys&, const std::uint8_t*, std::uint8_t*,
                        std::size_t) noexcept;

void Run(Kernel wide, Kernel portable, const Rc6RoundKeys& S, const std::uint8_t* In,
         std::uint8_t* Out, std::size_t Blocks) noexcept {
  if (UseAvx2() && Blocks >= kernels::kAvx2Batch) {
    const std::size_t batched = Blocks - Blocks % kernels::kAvx2Batch;
    wide(S, In, Out, batched);
    In += kRc6BlockBytes * batched, Out += kRc6BlockBytes * batched, Blocks -= batched;
  }
  portable(S, In, Out, Blocks);
}

}  // namespace

void Rc6EncryptBlocks(const Rc6RoundKeys& S, const std::uint8_t* In, std::uint8_t* Out,
                      std::size_t Blocks) noexcept {
  Run(kernels::EncryptAvx2, kernels::EncryptPortable, S, In, Out, Blocks);
}

void Rc6DecryptBlocks(const Rc6RoundKeys& S, const std::uint8_t* In, std::uint8_t* Out,
                      std::size_t Blocks) noexcept {
  Run(kernels::DecryptAvx2, kernels::DecryptPortable, S, In, Out, Blocks);
}

}  // namespace cipher
