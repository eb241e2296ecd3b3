// The RC6 core on its own: published vectors, and the multi-block entry points
// agreeing with the single-word transforms.
#include <gtest/gtest.h>

#include <cstdlib>

#include "TestSupport.h"
#include "cipher/Rc6.h"

using namespace testsupport;

namespace {

struct PublishedVector {
  Bytes key, plain, cipher;
};

std::vector<PublishedVector> PublishedVectors() {
  std::vector<PublishedVector> out;
  for (const auto& row : ReadDataFile("rc6-published.vec")) {
    PublishedVector v{FromHex(row.at(1)), FromHex(row.at(2)), FromHex(row.at(3))};
    EXPECT_EQ(v.key.size(), std::stoul(row.at(0)));
    out.push_back(std::move(v));
  }
  return out;
}

TEST(Rc6Core, PublishedVectorsBothDirections) {
  const auto vectors = PublishedVectors();
  ASSERT_EQ(vectors.size(), 6u);
  for (const auto& v : vectors) {
    cipher::Rc6RoundKeys S;
    cipher::Rc6ExpandKey(v.key, S);
    Bytes out(16);
    cipher::Rc6EncryptBlocks(S, v.plain.data(), out.data(), 1);
    EXPECT_EQ(ToHex(out), ToHex(v.cipher)) << "key " << ToHex(v.key);
    cipher::Rc6DecryptBlocks(S, v.cipher.data(), out.data(), 1);
    EXPECT_EQ(ToHex(out), ToHex(v.plain)) << "key " << ToHex(v.key);
  }
}

TEST(Rc6Core, ManyBlocksEqualOneAtATimeInPlaceOrNot) {
  std::mt19937_64 rng(1);
  cipher::Rc6RoundKeys S;
  cipher::Rc6ExpandKey(RandomBytes(rng, 32), S);
  for (std::size_t blocks : {0u, 1u, 2u, 7u, 8u, 9u, 17u, 33u}) {
    const Bytes plain = RandomBytes(rng, 16 * blocks);
    Bytes whole(plain.size()), single(plain.size()), inPlace = plain;
    cipher::Rc6EncryptBlocks(S, plain.data(), whole.data(), blocks);
    for (std::size_t k = 0; k < blocks; ++k)
      cipher::Rc6EncryptBlocks(S, plain.data() + 16 * k, single.data() + 16 * k, 1);
    cipher::Rc6EncryptBlocks(S, inPlace.data(), inPlace.data(), blocks);
    EXPECT_EQ(whole, single) << blocks;
    EXPECT_EQ(whole, inPlace) << blocks;
    cipher::Rc6DecryptBlocks(S, inPlace.data(), inPlace.data(), blocks);
    EXPECT_EQ(inPlace, plain) << blocks;
  }
}

// Long ECB known answers from an independent implementation, split at every
// block count so that every mix of wide batches and tail blocks is taken.
TEST(Rc6Core, LongKnownAnswersSplitAnywhere) {
  int rows = 0;
  for (const auto& row : ReadDataFile("rc6-modes.vec")) {
    if (row[0] != "ECB") continue;
    ++rows;
    const Bytes key = FromHex(row[2]), plain = FromHex(row[4]), expected = FromHex(row[5]);
    cipher::Rc6RoundKeys S;
    cipher::Rc6ExpandKey(key, S);
    const std::size_t blocks = plain.size() / 16;
    for (std::size_t split = 0; split <= blocks; ++split) {
      Bytes out(plain.size());
      cipher::Rc6EncryptBlocks(S, plain.data(), out.data(), split);
      cipher::Rc6EncryptBlocks(S, plain.data() + 16 * split, out.data() + 16 * split,
                               blocks - split);
      ASSERT_EQ(out, expected) << "split at " << split;
      cipher::Rc6DecryptBlocks(S, out.data(), out.data(), split);
      cipher::Rc6DecryptBlocks(S, out.data() + 16 * split, out.data() + 16 * split, blocks - split);
      ASSERT_EQ(out, plain) << "split at " << split;
    }
  }
  EXPECT_EQ(rows, 6);
}

TEST(Rc6Core, KernelFollowsTheCpuMask) {
  const char* mask = std::getenv("QUORIN_CPU_DISABLE");
  if (mask != nullptr && std::string(mask).find("avx2") != std::string::npos)
    EXPECT_STREQ(cipher::Rc6KernelName(), "portable");
  else
    RecordProperty("kernel", cipher::Rc6KernelName());
}

TEST(Rc6Core, BlockPackingIsLittleEndian) {
  const Bytes block = FromHex("000102030405060708090a0b0c0d0e0f");
  const cipher::Rc6Words w = cipher::Rc6LoadBlock(block.data());
  EXPECT_EQ(w.A, 0x03020100u);
  EXPECT_EQ(w.D, 0x0f0e0d0cu);
  Bytes back(16);
  cipher::Rc6StoreBlock(w, back.data());
  EXPECT_EQ(back, block);
}

}  // namespace
