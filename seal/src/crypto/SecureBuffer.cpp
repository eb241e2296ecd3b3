#include "crypto/SecureBuffer.h"

#include "quorin/platform/SecretMemory.h"

namespace quorin::seal {

SecureBuffer::SecureBuffer(std::size_t size) : size_(size) {
  data_ = static_cast<std::uint8_t*>(platform::AllocateSecret(size));
}

SecureBuffer::~SecureBuffer() {
  platform::FreeSecret(data_);
}

}  // namespace quorin::seal
