// seal, open and keygen: the sealed format, with a passphrase or a key file,
// a header that says how to open it, and a tag on every chunk.
#pragma once

#include "Options.h"

namespace quorin {

int Seal(const SealCommandOptions& options);
int Open(const SealCommandOptions& options);
int KeyGen(const SealCommandOptions& options);

}  // namespace quorin
