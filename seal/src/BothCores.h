// Two halves of a batch at once: the second on a thread of its own, the
// first on the caller's. The first failure in the halves' order is the one
// rethrown, after both ended, so that a batch fails as it would serially.
// Without a second core, or when no thread can be started, the halves run
// one after the other.
#pragma once

#include <exception>
#include <system_error>
#include <thread>

#include "quorin/platform/Cores.h"

namespace quorin::seal {

template <class First, class Second>
void OnBothCores(First first, Second second) {
  std::exception_ptr failures[2];
  const auto run = [](auto& work, std::exception_ptr& failure) {
    try {
      work();
    } catch (...) {
      failure = std::current_exception();
    }
  };
  static const bool twoCores = platform::UsableCores() >= 2;
  std::thread helper;
  if (twoCores) {
    try {
      helper = std::thread([&] { run(second, failures[1]); });
    } catch (const std::system_error&) {
    }
  }
  run(first, failures[0]);
  if (helper.joinable())
    helper.join();
  else
    run(second, failures[1]);
  for (const std::exception_ptr& f : failures)
    if (f) std::rethrow_exception(f);
}

}  // namespace quorin::seal
