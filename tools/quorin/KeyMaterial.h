// Reading the key and the IV from files, hex or the environment, with the
// checks and notes a user needs. Key bytes live in SecretBytes only.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Options.h"
#include "Secret.h"

namespace quorin {

// The largest key or IV file read: the component keeps at most 256 key bytes.
constexpr std::size_t kLargestKeyFile = 256;

struct KeyMaterial {
  SecretBytes key;
  Rc6::TKeySize keySize = Rc6::TKeySize::Small128;
  SecretBytes iv;  // empty when the mode needs none
  bool hasIV = false;
};

// Throws UsageError with a message naming the problem and the fix.
KeyMaterial LoadKeyMaterial(const CipherOptions& options, bool ivOptional);

// Decodes hexadecimal digits (either case); throws UsageError naming the option.
SecretBytes ParseHex(const SecretBytes& hex, const std::string& option);

enum class FileExtent { Whole, FirstLine };

// ReadKeyFile for text that people write (a passphrase, recipients,
// identities): a leading UTF-8 byte-order mark, as Windows editors and
// PowerShell write, is dropped; UTF-16 text (PowerShell 5.1's `>`) is
// refused with UsageError saying so, since it holds NUL bytes that no one
// types.
SecretBytes ReadTextFile(const std::string& path, const std::string& what, std::size_t largest,
                         FileExtent extent = FileExtent::Whole);

// Standard input can be read for one thing only: throws UsageError when
// more than one of the files named (INPUT among them) is "-".
void RefuseSharedStandardInput(const std::vector<const std::string*>& files);

// Reads a key or IV file of at most `largest` bytes (or, with FirstLine, its
// first line without the line end, read no further); "-" reads standard
// input. Throws UsageError for a folder, a longer file or line, or one that
// cannot be read.
SecretBytes ReadKeyFile(const std::string& path, const std::string& what,
                        std::size_t largest = kLargestKeyFile,
                        FileExtent extent = FileExtent::Whole);

// A keyed component for the options, in memory locked where allowed.
std::unique_ptr<Rc6::TQuorin> MakeCipher(const KeyMaterial& material, Rc6::TCipherMode mode,
                                         Rc6::TStringMode stringMode);

}  // namespace quorin
