#include "crypto/SecureBuffer.h"

#include <sodium.h>

#include "quorin/platform/SecretMemory.h"
#include "quorin/seal/Errors.h"

namespace quorin::seal {

void StartSodium() {
  static const int started = sodium_init();
  if (started < 0) throw SealError("libsodium could not be initialised");
}

SecureBuffer::SecureBuffer(std::size_t size) : size_(size) {
  StartSodium();  // for the primitives that will work on the buffer
  data_ = static_cast<std::uint8_t*>(platform::AllocateSecret(size));
}

SecureBuffer::~SecureBuffer() {
  platform::FreeSecret(data_);
}

}  // namespace quorin::seal
