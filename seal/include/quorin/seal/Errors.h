// The ways opening or sealing fails. Every message names the file (or
// stream) and says what the person can do about it.
#pragma once

#include <stdexcept>
#include <string>

#include "quorin/Export.h"

#if defined(QUORIN_SEAL_BUILDING)
#define QUORIN_SEAL_API QUORIN_EXPORT
#else
#define QUORIN_SEAL_API QUORIN_IMPORT
#endif

namespace quorin::seal {

// The base of every failure reported by this library.
class QUORIN_SEAL_API SealError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
  ~SealError() override;
};

// The input does not start with the sealed format's magic string.
class QUORIN_SEAL_API NotSealedError : public SealError {
 public:
  using SealError::SealError;
  ~NotSealedError() override;
};

// The input is armoured text (a BEGIN line was found) that is damaged:
// cut short, altered, or holding a second block.
class QUORIN_SEAL_API BadArmourError : public SealError {
 public:
  using SealError::SealError;
  ~BadArmourError() override;
};

// The header names a format version this library does not read.
class QUORIN_SEAL_API UnsupportedVersionError : public SealError {
 public:
  using SealError::SealError;
  ~UnsupportedVersionError() override;
};

// A header field holds a value no sealer writes.
class QUORIN_SEAL_API BadHeaderError : public SealError {
 public:
  using SealError::SealError;
  ~BadHeaderError() override;
};

// The header asks for more passphrase-hashing work or memory than the
// opener allows; refused before anything is allocated for it.
class QUORIN_SEAL_API CostLimitError : public BadHeaderError {
 public:
  using BadHeaderError::BadHeaderError;
  ~CostLimitError() override;
};

// A chunk's tag does not match: the passphrase or key is wrong, or the file
// was altered. The tag cannot tell which.
class QUORIN_SEAL_API AuthenticationError : public SealError {
 public:
  using SealError::SealError;
  ~AuthenticationError() override;
};

// The input ends before the sealed data does.
class QUORIN_SEAL_API TruncatedError : public SealError {
 public:
  using SealError::SealError;
  ~TruncatedError() override;
};

// No secret given is of a kind the file was sealed for: a passphrase, a key
// file or an identity (say, a passphrase where the file opens only with a
// key file or an identity).
class QUORIN_SEAL_API SecretKindError : public SealError {
 public:
  using SealError::SealError;
  ~SecretKindError() override;
};

// A file could not be opened, read, written or moved into place.
class QUORIN_SEAL_API FileError : public SealError {
 public:
  using SealError::SealError;
  ~FileError() override;
};

}  // namespace quorin::seal
