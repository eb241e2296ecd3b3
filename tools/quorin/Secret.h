// Key bytes, passphrases and IVs in the tool: held in the platform's secret
// memory (guarded, locked where allowed, wiped when freed).
#pragma once

#include "quorin/platform/SecretMemory.h"

namespace quorin {

using platform::SecretBytes;

// Keeps the process out of core dumps and away from ptrace by other users'
// processes for the rest of its life.
inline void ForbidCoreDumps() {
  platform::KeepSecretsOutOfCoreDumps();
}

}  // namespace quorin
