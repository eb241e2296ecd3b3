// The component's raw string mode for a scope: the interface encrypts raw
// and armours the result itself, straight into the caller's buffer.
#pragma once

#include "quorin/Rc6.h"

namespace quorin_capi {

// Raw string mode for the life of the object, then the caller's mode again.
class RawStrings {
 public:
  explicit RawStrings(Rc6::TQuorin& q) : q_(q), mode_(q.StringMode()) {
    q_.SetStringMode(Rc6::TStringMode::smNormal);
  }
  ~RawStrings() { q_.SetStringMode(mode_); }
  RawStrings(const RawStrings&) = delete;
  RawStrings& operator=(const RawStrings&) = delete;

 private:
  Rc6::TQuorin& q_;
  Rc6::TStringMode mode_;
};

}  // namespace quorin_capi
