#include "GeneratedPassphrase.h"

#include <cmath>

#include "PassphraseWords.h"
#include "quorin/platform/Random.h"

namespace quorin {

SecretBytes GeneratedPassphrase() {
  SecretBytes out;
  out.reserve(kGeneratedWords * 7);
  for (int i = 0; i < kGeneratedWords; ++i) {
    if (i > 0) out.push_back('-');
    const std::string_view word = kPassphraseWords[platform::RandomBelow(
        static_cast<std::uint32_t>(kPassphraseWords.size()))];
    out.insert(out.end(), word.begin(), word.end());
  }
  return out;
}

double GeneratedPassphraseBits() {
  return kGeneratedWords * std::log2(static_cast<double>(kPassphraseWords.size()));
}

}  // namespace quorin
