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

const char* Rc6KernelName() noexcept { return UseAvx2() ? "avx2" : "portable"; }

void Rc6EncryptBlocks(const Rc6RoundKeys& S, const std::uint8_t* In, std::uint8_t* Out, std::size_t Blocks) noexcept {
  if (UseAvx2() && Blocks >= kernels::kAvx2Batch) {
    const std::size_t wide = Blocks - Blocks % kernels::kAvx2Batch;
    kernels::EncryptAvx2(S, In, Out, wide);
    In += 16 * wide, Out += 16 * wide, Blocks -= wide;
  }
  kernels::EncryptPortable(S, In, Out, Blocks);
}

void Rc6DecryptBlocks(const Rc6RoundKeys& S, const std::uint8_t* In, std::uint8_t* Out, std::size_t Blocks) noexcept {
  if (UseAvx2() && Blocks >= kernels::kAvx2Batch) {
    const std::size_t wide = Blocks - Blocks % kernels::kAvx2Batch;
    kernels::DecryptAvx2(S, In, Out, wide);
    In += 16 * wide, Out += 16 * wide, Blocks -= wide;
  }
  kernels::DecryptPortable(S, In, Out, Blocks);
}

}  // namespace cipher
