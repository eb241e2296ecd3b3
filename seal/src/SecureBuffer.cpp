#include "SecureBuffer.h"

#include <sodium.h>

#include <new>

#include "quorin/seal/Errors.h"

namespace quorin::seal {

void StartSodium() {
  static const int started = sodium_init();
  if (started < 0) throw SealError("libsodium could not be initialised");
}

SecureBuffer::SecureBuffer(std::size_t size) : size_(size) {
  StartSodium();
  // sodium_malloc(0) would still give a guarded page; one byte keeps data_ valid.
  data_ = static_cast<std::uint8_t*>(sodium_malloc(size == 0 ? 1 : size));
  if (data_ == nullptr) throw std::bad_alloc();
}

SecureBuffer::~SecureBuffer() {
  sodium_free(data_);  // wipes, unlocks and unmaps; null is allowed
}

}  // namespace quorin::seal
