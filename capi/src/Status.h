// Statuses for the C interface: every outcome is a code, with a message
// for the calling thread, and no exception crosses the boundary.
#pragma once

#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>

#include "quorin/quorin_base.h"

namespace quorin_capi {

// Thrown inside the interface to end a call with a status of its own.
class StatusError : public std::runtime_error {
 public:
  StatusError(int code, const std::string& message) : std::runtime_error(message), status(code) {}
  int status;
};

struct Failure {
  int status;
  std::string message;  // empty: the status's own text
};

// Records the message for a non-zero status (the status's text when the
// message is empty) and returns the status.
int Fail(int status, const std::string& message = {});
inline int Fail(const Failure& f) {
  return Fail(f.status, f.message);
}
inline int Invalid(const char* what) {
  return Fail(QUORIN_INVALID_ARGUMENT, what);
}

// The size-query convention: dst NULL asks for the size needed, which goes
// to *dst_len; too small a buffer is refused, with the size needed in
// *dst_len. Any other refusal leaves *dst_len alone. Returns QUORIN_OK with
// query false when dst may be written; no size (nullopt) means the input is
// too long for its output to have one.
int Room(const void* dst, std::size_t* dst_len, std::optional<std::size_t> needed, bool& query);

// The status of the exception being handled; called only inside a catch.
Failure CurrentFailure() noexcept;

// Runs f, which returns a status, turning every exception into one
// (through `failure`, which may know more exceptions than CurrentFailure).
template <class F>
int Guarded(F&& f, Failure (*failure)() noexcept = CurrentFailure) noexcept {
  try {
    return Fail(f());
  } catch (...) {
    return Fail(failure());
  }
}

}  // namespace quorin_capi
