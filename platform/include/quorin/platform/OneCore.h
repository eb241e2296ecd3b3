// Confines the calling thread, and the threads it starts meanwhile, to one
// processor core while the object lives: the one-core figure of an operation
// that would otherwise use every core the process may.
#pragma once

namespace quorin::platform {

class OneCore {
 public:
  OneCore();
  ~OneCore();
  OneCore(const OneCore&) = delete;
  OneCore& operator=(const OneCore&) = delete;

 private:
  alignas(16) unsigned char saved_[128];  // the thread's mask before
};

}  // namespace quorin::platform
