// Reading the key and the IV from files, hex or the environment, with the
// checks and notes a user needs.
#pragma once

#include <memory>
#include <string>

#include "Options.h"

namespace quorin {

struct KeyMaterial {
  std::string key;
  Rc6::TKeySize keySize;
  std::string iv;  // empty when the mode needs none
  bool hasIV = false;
};

// Throws UsageError with a message naming the problem and the fix.
KeyMaterial LoadKeyMaterial(const CipherOptions& options, bool ivOptional);

// Decodes hexadecimal digits (either case); throws UsageError naming the option.
std::string ParseHex(const std::string& hex, const std::string& option);

// A keyed component for the options.
std::unique_ptr<Rc6::TQuorin> MakeCipher(const KeyMaterial& material, Rc6::TCipherMode mode,
                                         Rc6::TStringMode stringMode);

}  // namespace quorin
