// libsodium, started once before its first use.
#pragma once

#include <sodium.h>

#include <stdexcept>

namespace quorin::platform {

inline void StartSodium() {
  static const int started = sodium_init();
  if (started < 0) throw std::runtime_error("libsodium could not be initialised");
}

}  // namespace quorin::platform
