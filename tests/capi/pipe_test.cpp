// The bounded pipe between a caller's threads and a sealing thread, with
// several threads at each end: every byte arrives once, no wake-up is lost
// (a lost one hangs the test), and stopping frees every waiter.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

#include "BytePipe.h"

namespace {

using quorin_capi::BytePipe;

TEST(BytePipe, ThreadsAtBothEndsLoseNoWakeUpAndNoByte) {
  for (const std::size_t capacity : {2u, 64u, 4096u}) {
    BytePipe pipe(capacity);
    constexpr int kWriters = 3, kReaders = 3, kPieces = 2000;
    std::atomic<std::uint64_t> taken{0}, sum{0};
    std::vector<std::thread> writers, readers;
    for (int w = 0; w < kWriters; ++w)
      writers.emplace_back([&pipe, w] {
        std::vector<std::uint8_t> piece(1 + static_cast<std::size_t>(w) * 37,
                                        static_cast<std::uint8_t>(w + 1));
        for (int i = 0; i < kPieces; ++i) ASSERT_TRUE(pipe.Put(piece.data(), piece.size()));
      });
    for (int r = 0; r < kReaders; ++r)
      readers.emplace_back([&] {
        std::uint8_t buffer[97];
        for (std::size_t n; (n = pipe.Take(buffer, sizeof buffer)) > 0;) {
          taken += n;
          for (std::size_t i = 0; i < n; ++i) sum += buffer[i];
        }
      });
    for (auto& t : writers) t.join();
    pipe.Close();
    for (auto& t : readers) t.join();
    std::uint64_t bytes = 0, expected = 0;
    for (int w = 0; w < kWriters; ++w) {
      bytes += (1 + static_cast<std::uint64_t>(w) * 37) * kPieces;
      expected +=
          (1 + static_cast<std::uint64_t>(w) * 37) * kPieces * static_cast<std::uint64_t>(w + 1);
    }
    EXPECT_EQ(taken, bytes) << "capacity " << capacity;
    EXPECT_EQ(sum, expected) << "capacity " << capacity;
  }
}

TEST(BytePipe, StopReleasesEveryWaiterAtEitherEnd) {
  BytePipe full(8), empty(8);
  const std::uint8_t eight[8] = {};
  ASSERT_TRUE(full.Put(eight, sizeof eight));
  std::vector<std::thread> waiting;
  std::atomic<int> released{0};
  for (int i = 0; i < 3; ++i) {
    waiting.emplace_back([&] {
      if (!full.Put(eight, sizeof eight)) ++released;
    });
    waiting.emplace_back([&] {
      std::uint8_t b[4];
      if (empty.Take(b, sizeof b) == 0) ++released;
    });
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  full.Stop();
  empty.Stop();
  for (auto& t : waiting) t.join();
  EXPECT_EQ(released, 6);
}

}  // namespace
