#include "BackgroundWriter.h"

#include <system_error>

#include "SealCore.h"

namespace quorin::seal {

BackgroundWriter::~BackgroundWriter() {
  if (pending_.valid()) pending_.wait();  // a failure is already on its way out
}

void BackgroundWriter::Write(const std::uint8_t* data, std::size_t size) {
  Finish();
  try {
    pending_ = std::async(std::launch::async,
                          [this, data, size] { detail::WriteFully(dest_, data, size); });
  } catch (const std::system_error&) {
    detail::WriteFully(dest_, data, size);  // no thread to be had: write it here
  }
}

void BackgroundWriter::Finish() {
  if (pending_.valid()) pending_.get();
}

}  // namespace quorin::seal
