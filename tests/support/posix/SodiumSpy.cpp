#include "SodiumSpy.h"

#include <dlfcn.h>

namespace testsupport {

std::map<void*, std::size_t>& LiveSodiumAllocations() {
  static std::map<void*, std::size_t> live;
  return live;
}

std::vector<std::size_t>& SodiumAllocationSizes() {
  static std::vector<std::size_t> sizes;
  return sizes;
}

}  // namespace testsupport

extern "C" void* sodium_malloc(std::size_t size) {
  static auto* real = reinterpret_cast<void* (*)(std::size_t)>(dlsym(RTLD_NEXT, "sodium_malloc"));
  void* p = real(size);
  if (p != nullptr) {
    testsupport::LiveSodiumAllocations()[p] = size;
    testsupport::SodiumAllocationSizes().push_back(size);
  }
  return p;
}

extern "C" void sodium_free(void* p) {
  static auto* real = reinterpret_cast<void (*)(void*)>(dlsym(RTLD_NEXT, "sodium_free"));
  testsupport::LiveSodiumAllocations().erase(p);
  real(p);
}
