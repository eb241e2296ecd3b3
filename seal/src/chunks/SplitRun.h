// Two runs of chunks at once: the first on the second core, the second on
// the caller's thread. A failure of either is rethrown once both ended, the
// first run's first, as one core going through the chunks in order would
// have met it.
#pragma once

#include <exception>

#include "quorin/platform/SecondCore.h"

namespace quorin::seal {

template <class First, class Second>
void SplitRun(platform::SecondCore& core, First&& first, Second&& second) {
  struct Helper {
    First* run;
    std::exception_ptr failure;
  } helper{&first, {}};
  std::exception_ptr failure;
  core.Run(
      [](void* context) noexcept {
        Helper& h = *static_cast<Helper*>(context);
        try {
          (*h.run)();
        } catch (...) {
          h.failure = std::current_exception();
        }
      },
      &helper,
      [&] {
        try {
          second();
        } catch (...) {
          failure = std::current_exception();
        }
      });
  if (helper.failure) std::rethrow_exception(helper.failure);
  if (failure) std::rethrow_exception(failure);
}

}  // namespace quorin::seal
