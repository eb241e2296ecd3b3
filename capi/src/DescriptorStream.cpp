#include "DescriptorStream.h"

#include <cerrno>

#include "Status.h"
#include "quorin/framework/Exceptions.h"
#include "quorin/platform/SystemIo.h"

namespace quorin_capi {
namespace {

[[noreturn]] void Failed(const char* doing, const std::string& name) {
  if (errno == ECANCELED) throw StatusError(QUORIN_CALLBACK_FAILED, "the caller stopped");
  throw framework::EStreamError(errno, std::string("error ") + doing + " " + name + ": " +
                                           quorin::platform::sysio::ErrorText(errno));
}

}  // namespace

DescriptorStream::DescriptorStream(int fd, std::string name)
    : descriptor_(fd), name_(std::move(name)) {}

void DescriptorStream::Stop() noexcept {
  descriptor_.Stop();
}

std::int32_t DescriptorStream::Read(void* buffer, std::int32_t count) {
  auto* out = static_cast<std::uint8_t*>(buffer);
  std::int32_t got = 0;
  while (got < count) {
    const long n = descriptor_.ReadSome(out + got, static_cast<std::size_t>(count - got));
    if (n == 0) break;
    if (n < 0) Failed("reading", name_);
    got += static_cast<std::int32_t>(n);
  }
  position_ += got;
  return got;
}

std::int32_t DescriptorStream::Write(const void* buffer, std::int32_t count) {
  const auto* in = static_cast<const std::uint8_t*>(buffer);
  std::int32_t put = 0;
  while (put < count) {
    const long n = descriptor_.WriteSome(in + put, static_cast<std::size_t>(count - put));
    if (n < 0) Failed("writing", name_);
    put += static_cast<std::int32_t>(n);
  }
  position_ += put;
  return put;
}

}  // namespace quorin_capi
