#include "quorin/seal/Errors.h"

namespace quorin::seal {

// Out of line, so that each class has one home for its type information.
SealError::~SealError() = default;
NotSealedError::~NotSealedError() = default;
BadArmourError::~BadArmourError() = default;
UnsupportedVersionError::~UnsupportedVersionError() = default;
BadHeaderError::~BadHeaderError() = default;
CostLimitError::~CostLimitError() = default;
AuthenticationError::~AuthenticationError() = default;
TruncatedError::~TruncatedError() = default;
SecretKindError::~SecretKindError() = default;
FileError::~FileError() = default;

}  // namespace quorin::seal
