// Two runs of chunks at once: the first on the second core, the second on
// the caller's thread. A failure of either is rethrown once both ended, the
// first run's first, as one core going through the chunks in order would
// have met it.
#pragma once

#include <cstddef>
#include <exception>
#include <memory>

#include "chunks/ChunkCipher.h"
#include "quorin/platform/SecondCore.h"

namespace quorin::seal {

// Whether `count` full chunks go to two cores: as many as the cipher's lanes
// (2 MiB) or more, and a core to spare. The second core is made the first
// time a run is large enough, and kept.
inline bool TwoCoresFor(std::unique_ptr<platform::SecondCore>& second, std::size_t count) {
  if (count < ChunkCipher::kLanes) return false;
  if (!second) second = std::make_unique<platform::SecondCore>(true);
  return second->Available();
}

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

// `count` chunks in two halves, the first on the second core:
// run(from, n, onHelper) takes chunks from..from+n.
template <class Run>
void SplitHalves(platform::SecondCore& core, std::size_t count, Run&& run) {
  const std::size_t onHelper = count / 2;
  SplitRun(
      core, [&] { run(std::size_t{0}, onHelper, true); },
      [&] { run(onHelper, count - onHelper, false); });
}

}  // namespace quorin::seal
