// Separate instances share nothing: four threads, each with its own
// component, encrypt and decrypt at once and get the single-threaded bytes.
#include <gtest/gtest.h>

#include <thread>

#include "TestSupport.h"

using namespace testsupport;

namespace {

std::string Encrypt(Rc6::TCipherMode mode, const std::string& plain) {
  Rc6::TQuorin q(nullptr);
  q.SetCipherMode(mode);
  q.SetStringMode(Rc6::TStringMode::smNormal);
  q.InitialiseString("a key for threads");
  q.LoadIVString("an iv");
  std::string out;
  EXPECT_EQ(q.EncryptString(plain, out), 0);
  q.LoadIVString("an iv");
  std::string back;
  EXPECT_EQ(q.DecryptString(out, back), 0);
  EXPECT_EQ(back, plain);
  return out;
}

TEST(Threads, SeparateInstancesOnFourThreadsGiveTheSingleThreadedBytes) {
  std::mt19937_64 rng(4);
  const std::string plain = AsString(RandomBytes(rng, 70000));
  std::vector<std::string> expected;
  for (const auto mode : kAllModes) expected.push_back(Encrypt(mode, plain));
  std::vector<std::string> got(16);
  std::vector<std::thread> threads;
  for (std::size_t t = 0; t < 4; ++t)
    threads.emplace_back([&, t] {
      for (std::size_t m = 0; m < 4; ++m) got[t * 4 + m] = Encrypt(kAllModes[m], plain);
    });
  for (auto& t : threads) t.join();
  for (std::size_t i = 0; i < got.size(); ++i) EXPECT_EQ(got[i], expected[i % 4]) << i;
}

}  // namespace
