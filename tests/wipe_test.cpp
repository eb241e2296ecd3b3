// Key material does not outlive its use: a component built in storage the
// test owns is keyed and used, then burnt or destroyed, and the storage is
// searched for the round keys, the chaining register and the working block
// (and, after destruction, the work buffer's last chunk).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "TestSupport.h"
#include "cipher/Rc6.h"
#include "quorin/platform/Wipe.h"

using namespace testsupport;

namespace {

bool Holds(const std::uint8_t* storage, std::size_t size, const std::uint8_t* pattern,
           std::size_t length) {
  return std::search(storage, storage + size, pattern, pattern + length) != storage + size;
}

struct WipeCase {
  Rc6::TCipherMode mode;
  bool destroy;  // else Burn
};

class Wiping : public ::testing::TestWithParam<WipeCase> {};

TEST_P(Wiping, NoKeyScheduleChainOrBlockRemains) {
  const WipeCase c = GetParam();
  alignas(Rc6::TQuorin) static std::uint8_t storage[sizeof(Rc6::TQuorin)];
  std::memset(storage, 0, sizeof storage);
  const Bytes key = FromHex("00112233445566778899aabbccddeeff0123456789abcdef0011223344556677");

  auto* q = new (storage) Rc6::TQuorin(nullptr);
  q->SetCipherMode(c.mode);
  q->SetKeySize(Rc6::TKeySize::Large256);
  ASSERT_EQ(q->InitialiseByte(key, static_cast<std::int32_t>(key.size())), 0);
  q->LoadIVString("sixteen byte iv!");
  // A buffer, then a block (so that the chain and the working block hold
  // something the buffer does not).
  std::mt19937_64 rng(3);
  const Bytes chunk = RandomBytes(rng, 4096);
  std::copy(chunk.begin(), chunk.end(), q->Buffer().begin());
  ASSERT_EQ(q->EncryptBuffer(4096), 0);
  const Bytes lastChunkBlock(q->Buffer().begin() + 4080, q->Buffer().begin() + 4096);
  Rc6::TBlock block{1, 2, 3}, out{};
  ASSERT_EQ(q->EncryptBlock(block, out), 0);
  const Bytes chain = ChainRegister(*q);
  const Bytes working(q->Block().begin(), q->Block().end());

  cipher::Rc6RoundKeys schedule{};
  cipher::Rc6ExpandKey(key, schedule);
  ASSERT_TRUE(
      Holds(storage, sizeof storage, reinterpret_cast<const std::uint8_t*>(&schedule[5]), 4))
      << "the search finds the round keys while they are in use";

  if (c.destroy)
    q->~TQuorin();
  else
    q->Burn();

  for (std::size_t i = 0; i < schedule.size(); ++i)
    EXPECT_FALSE(
        Holds(storage, sizeof storage, reinterpret_cast<const std::uint8_t*>(&schedule[i]), 4))
        << "round key word " << i;
  if (c.mode != Rc6::TCipherMode::ECB) {
    EXPECT_FALSE(Holds(storage, sizeof storage, chain.data(), chain.size())) << "chain";
  }
  EXPECT_FALSE(Holds(storage, sizeof storage, working.data(), working.size())) << "working block";
  // Burn keeps the work buffer by design; destruction wipes it too.
  EXPECT_EQ(Holds(storage, sizeof storage, lastChunkBlock.data(), 16), !c.destroy);
  EXPECT_FALSE(Holds(storage, sizeof storage, key.data(), 16)) << "the key itself";
  if (!c.destroy) q->~TQuorin();
  quorin::platform::WipeObject(schedule);
}

INSTANTIATE_TEST_SUITE_P(BurnAndDestruction, Wiping,
                         ::testing::Values(WipeCase{Rc6::TCipherMode::ECB, false},
                                           WipeCase{Rc6::TCipherMode::CBC, false},
                                           WipeCase{Rc6::TCipherMode::OFB, false},
                                           WipeCase{Rc6::TCipherMode::ECB, true},
                                           WipeCase{Rc6::TCipherMode::CFB, true},
                                           WipeCase{Rc6::TCipherMode::OFB, true}));

}  // namespace
