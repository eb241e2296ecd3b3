// Security attributes that make a new file its owner's alone, as POSIX's
// 0600 does: a protected DACL with one entry, full access for the user this
// process runs as.
#pragma once

#include <windows.h>

#include <vector>

namespace quorin::win32 {

class OwnerOnly {
 public:
  // With wanted false, get() is null: the folder's inherited rights apply.
  // Throws std::system_error when the system cannot make the descriptor.
  explicit OwnerOnly(bool wanted = true);
  OwnerOnly(const OwnerOnly&) = delete;
  OwnerOnly& operator=(const OwnerOnly&) = delete;
  SECURITY_ATTRIBUTES* get() { return acl_.empty() ? nullptr : &attributes_; }

 private:
  std::vector<unsigned char> user_, acl_;
  SECURITY_DESCRIPTOR descriptor_{};
  SECURITY_ATTRIBUTES attributes_{};
};

}  // namespace quorin::win32
