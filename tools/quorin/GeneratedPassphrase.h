// A passphrase of random words from the shipped list, offered when the
// passphrase typed for sealing is empty.
#pragma once

#include "Secret.h"

namespace quorin {

inline constexpr int kGeneratedWords = 9;  // 9 × 12 bits from 4096 words

// kGeneratedWords words joined by '-'.
SecretBytes GeneratedPassphrase();

// The strength of such a passphrase, in bits.
double GeneratedPassphraseBits();

}  // namespace quorin
