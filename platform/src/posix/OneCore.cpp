#include "quorin/platform/OneCore.h"

#include <sched.h>

#include <cstring>

static_assert(sizeof(cpu_set_t) <= 128);

namespace quorin::platform {

OneCore::OneCore() {
  cpu_set_t mask;
  sched_getaffinity(0, sizeof mask, &mask);
  std::memcpy(saved_, &mask, sizeof mask);
  std::size_t first = 0;
  while (first < CPU_SETSIZE && !CPU_ISSET(first, &mask)) ++first;
  cpu_set_t one;
  CPU_ZERO(&one);
  CPU_SET(first, &one);
  sched_setaffinity(0, sizeof one, &one);
}

OneCore::~OneCore() {
  cpu_set_t mask;
  std::memcpy(&mask, saved_, sizeof mask);
  sched_setaffinity(0, sizeof mask, &mask);
}

}  // namespace quorin::platform
