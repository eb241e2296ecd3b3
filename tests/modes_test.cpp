// The chaining modes, single-block operations and the CBC-MAC read-out.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "cipher/Rc6.h"

using namespace testsupport;
using Rc6::TCipherMode;
using Rc6::TQuorin;

namespace {

Rc6::TBlock ToBlock(const std::uint8_t* p) {
  Rc6::TBlock b;
  std::copy_n(p, 16, b.begin());
  return b;
}

struct Keyed {
  Keyed(TCipherMode mode, Rc6::TKeySize size, const Bytes& key, const Bytes& ivBytes)
      : q(nullptr), iv(ivBytes) {
    q.SetCipherMode(mode);
    q.SetKeySize(size);
    EXPECT_EQ(q.InitialiseByte(key, static_cast<std::int32_t>(key.size())), 0);
    Restart();
  }
  void Restart() { q.LoadIVByte(iv, static_cast<std::int32_t>(iv.size())); }
  Bytes EncryptBlocks(const Bytes& in) { return Blocks(in, true); }
  Bytes DecryptBlocks(const Bytes& in) { return Blocks(in, false); }
  Bytes Blocks(const Bytes& in, bool encrypt) {
    Bytes out(in.size());
    for (std::size_t i = 0; i < in.size(); i += 16) {
      Rc6::TBlock o{};
      const auto status =
          encrypt ? q.EncryptBlock(ToBlock(&in[i]), o) : q.DecryptBlock(ToBlock(&in[i]), o);
      EXPECT_EQ(status, 0);
      std::copy(o.begin(), o.end(), out.begin() + static_cast<long>(i));
    }
    return out;
  }
  Bytes Buffer(const Bytes& in, bool encrypt) {
    std::copy(in.begin(), in.end(), q.Buffer().begin());
    const auto n = static_cast<std::int32_t>(in.size());
    EXPECT_EQ(encrypt ? q.EncryptBuffer(n) : q.DecryptBuffer(n), 0);
    return Bytes(q.Buffer().begin(), q.Buffer().begin() + n);
  }
  TQuorin q;
  Bytes iv;
};

TEST(Modes, KnownAnswersFromAnIndependentImplementation) {
  const auto rows = ReadDataFile("rc6-modes.vec");
  ASSERT_EQ(rows.size(), 24u);
  for (const auto& row : rows) {
    const TCipherMode mode = ModeFromName(row[0]);
    const Bytes key = FromHex(row[2]), iv = FromHex(row[3]), plain = FromHex(row[4]);
    const std::string expected = row[5];
    Keyed k(mode, KeySizeFor(key.size()), key, iv);
    SCOPED_TRACE(row[0] + " " + row[1] + " " + std::to_string(plain.size()));
    EXPECT_EQ(ToHex(k.EncryptBlocks(plain)), expected);
    k.Restart();
    EXPECT_EQ(ToHex(k.Buffer(plain, true)), expected);
    k.Restart();
    EXPECT_EQ(k.DecryptBlocks(FromHex(expected)), plain);
    k.Restart();
    EXPECT_EQ(k.Buffer(FromHex(expected), false), plain);
  }
}

class ModeIdentities : public ::testing::TestWithParam<std::tuple<TCipherMode, Rc6::TKeySize>> {
 protected:
  void SetUp() override {
    std::mt19937_64 rng(static_cast<unsigned>(std::get<0>(GetParam())) * 3 +
                        static_cast<unsigned>(std::get<1>(GetParam())));
    key = RandomBytes(rng, 32);
    iv = RandomBytes(rng, 16);
    plain = RandomBytes(rng, 16 * 9);
  }
  Keyed Make() { return Keyed(std::get<0>(GetParam()), std::get<1>(GetParam()), key, iv); }
  Bytes key, iv, plain;
};

TEST_P(ModeIdentities, OneCallOfNBlocksEqualsNCallsOfOne) {
  Keyed a = Make(), b = Make();
  const Bytes whole = a.Buffer(plain, true);
  EXPECT_EQ(b.EncryptBlocks(plain), whole);
  // Split at every block boundary across buffer calls.
  for (std::size_t split = 16; split < plain.size(); split += 16) {
    Keyed c = Make();
    Bytes first = c.Buffer(Bytes(plain.begin(), plain.begin() + static_cast<long>(split)), true);
    const Bytes second =
        c.Buffer(Bytes(plain.begin() + static_cast<long>(split), plain.end()), true);
    first.insert(first.end(), second.begin(), second.end());
    EXPECT_EQ(first, whole) << "split at " << split;
  }
}

TEST_P(ModeIdentities, DecryptingWithTheIVReloadedReturnsThePlaintext) {
  Keyed k = Make();
  const Bytes cipher = k.EncryptBlocks(plain);
  k.Restart();
  EXPECT_EQ(k.DecryptBlocks(cipher), plain);
  if (std::get<0>(GetParam()) != TCipherMode::ECB) {
    // Without reloading, the chain has moved on and the first block comes out wrong.
    Keyed again = Make();
    const Bytes c2 = again.EncryptBlocks(plain);
    const Bytes wrong = again.DecryptBlocks(c2);
    EXPECT_FALSE(std::equal(wrong.begin(), wrong.begin() + 16, plain.begin()));
  }
}

INSTANTIATE_TEST_SUITE_P(AllModesAndKeySizes, ModeIdentities,
                         ::testing::Combine(::testing::ValuesIn(kAllModes),
                                            ::testing::ValuesIn(kAllKeySizes)),
                         [](const auto& p) {
                           return std::string(ModeName(std::get<0>(p.param))) + "_" +
                                  std::to_string(16 + 8 * static_cast<int>(std::get<1>(p.param)));
                         });

// What the chaining register and the working block hold after one block.
TEST(Modes, RegistersAfterOneBlock) {
  std::mt19937_64 rng(8);
  const Bytes key = RandomBytes(rng, 16), V = RandomBytes(rng, 16), X = RandomBytes(rng, 16);
  cipher::Rc6RoundKeys S;
  cipher::Rc6ExpandKey(key, S);
  auto E = [&](const Bytes& b) {
    Bytes o(16);
    cipher::Rc6EncryptBlocks(S, b.data(), o.data(), 1);
    return o;
  };
  auto D = [&](const Bytes& b) {
    Bytes o(16);
    cipher::Rc6DecryptBlocks(S, b.data(), o.data(), 1);
    return o;
  };
  auto Xor = [](Bytes a, const Bytes& b) {
    for (std::size_t i = 0; i < 16; ++i) a[i] ^= b[i];
    return a;
  };

  struct Case {
    TCipherMode mode;
    bool encrypt;
    Bytes out, chain;
  } cases[] = {
      {TCipherMode::ECB, true, E(X), V},
      {TCipherMode::CBC, true, E(Xor(X, V)), E(Xor(X, V))},
      {TCipherMode::CFB, true, Xor(X, E(V)), Xor(X, E(V))},
      {TCipherMode::OFB, true, Xor(X, E(V)), E(V)},
      {TCipherMode::ECB, false, D(X), V},
      {TCipherMode::CBC, false, Xor(D(X), V), X},
      {TCipherMode::CFB, false, Xor(X, E(V)), X},
      {TCipherMode::OFB, false, Xor(X, E(V)), E(V)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(ModeName(c.mode)) + (c.encrypt ? " encrypt" : " decrypt"));
    Keyed k(c.mode, Rc6::TKeySize::Small128, key, V);
    const Bytes out = k.Blocks(X, c.encrypt);
    EXPECT_EQ(out, c.out);
    EXPECT_EQ(Bytes(k.q.Block().begin(), k.q.Block().end()), c.out);
    EXPECT_EQ(ChainRegister(k.q), c.chain);
  }
}

// The buffer and string operations hand runs of blocks to the multi-block
// kernel; they must leave output, working block and chain exactly as single
// blocks through the chaining step do, for runs shorter and longer than a batch.
TEST(Modes, ManyBlocksAtOnceLeaveTheRegistersOfSingleSteps) {
  std::mt19937_64 rng(15);
  const Bytes key = RandomBytes(rng, 24), iv = RandomBytes(rng, 16);
  for (TCipherMode mode : kAllModes) {
    for (bool encrypt : {true, false}) {
      for (std::size_t blocks : {1u, 2u, 7u, 8u, 9u, 31u, 32u, 33u, 100u, 257u}) {
        SCOPED_TRACE(std::string(ModeName(mode)) + (encrypt ? " encrypt " : " decrypt ") +
                     std::to_string(blocks));
        const Bytes data = RandomBytes(rng, 16 * blocks);
        Keyed many(mode, Rc6::TKeySize::Med192, key, iv),
            single(mode, Rc6::TKeySize::Med192, key, iv);
        EXPECT_EQ(many.Buffer(data, encrypt), single.Blocks(data, encrypt));
        EXPECT_EQ(Bytes(many.q.Block().begin(), many.q.Block().end()),
                  Bytes(single.q.Block().begin(), single.q.Block().end()));
        EXPECT_EQ(ChainRegister(many.q), ChainRegister(single.q));
        // And the chain carries on identically.
        EXPECT_EQ(many.Blocks(data, encrypt), single.Blocks(data, encrypt));
      }
    }
  }
}

TEST(Modes, CfbAndOfbShareTheFirstBlockOnly) {
  std::mt19937_64 rng(9);
  const Bytes key = RandomBytes(rng, 16), iv = RandomBytes(rng, 16), plain = RandomBytes(rng, 32);
  Keyed cfb(TCipherMode::CFB, Rc6::TKeySize::Small128, key, iv);
  Keyed ofb(TCipherMode::OFB, Rc6::TKeySize::Small128, key, iv);
  const Bytes c = cfb.EncryptBlocks(plain), o = ofb.EncryptBlocks(plain);
  EXPECT_TRUE(std::equal(c.begin(), c.begin() + 16, o.begin()));
  EXPECT_FALSE(std::equal(c.begin() + 16, c.end(), o.begin() + 16));

  // OFB decryption is the same operation as OFB encryption.
  ofb.Restart();
  const Bytes viaDecrypt = ofb.DecryptBlocks(plain);
  EXPECT_EQ(viaDecrypt, o);
}

TEST(Modes, InputAndOutputMayBeTheSameBlock) {
  for (TCipherMode mode : kAllModes) {
    Keyed a(mode, Rc6::TKeySize::Small128, Bytes(16, 1), Bytes(16, 2));
    Keyed b(mode, Rc6::TKeySize::Small128, Bytes(16, 1), Bytes(16, 2));
    Rc6::TBlock block{9, 8, 7}, separate{};
    const Rc6::TBlock original = block;
    ASSERT_EQ(a.q.EncryptBlock(block, block), 0);
    ASSERT_EQ(b.q.EncryptBlock(original, separate), 0);
    EXPECT_EQ(block, separate) << ModeName(mode);
    a.Restart();
    ASSERT_EQ(a.q.DecryptBlock(block, block), 0);
    EXPECT_EQ(block, original) << ModeName(mode);
  }
}

TEST(Modes, ChangingModeMidChainKeepsTheRegister) {
  const Bytes key(16, 3), iv(16, 4), p(16, 5);
  Keyed k(TCipherMode::CBC, Rc6::TKeySize::Small128, key, iv);
  const Bytes c1 = k.EncryptBlocks(p);
  k.q.SetCipherMode(TCipherMode::OFB);
  const Bytes c2 = k.EncryptBlocks(p);
  Keyed check(TCipherMode::OFB, Rc6::TKeySize::Small128, key, c1);  // OFB from the CBC ciphertext
  EXPECT_EQ(check.EncryptBlocks(p), c2);
}

TEST(Modes, RefusedBlockOperationsChangeNothing) {
  TQuorin q(nullptr);
  const Rc6::TBlock in{1};
  Rc6::TBlock out{7, 7, 7};
  const Rc6::TBlock untouched = out;
  EXPECT_EQ(q.EncryptBlock(in, out), -1);
  EXPECT_EQ(q.DecryptBlock(in, out), -1);
  q.SetCipherMode(TCipherMode::CFB);
  q.InitialiseString("key");
  EXPECT_EQ(q.EncryptBlock(in, out), -4);
  EXPECT_EQ(q.DecryptBlock(in, out), -4);
  EXPECT_EQ(out, untouched);
}

TEST(CbcMac, StatusOrderAndZeroedOutput) {
  struct Case {
    TCipherMode mode;
    bool key, iv;
    std::int32_t expected;
  } cases[] = {
      {TCipherMode::ECB, false, false, -6}, {TCipherMode::CFB, true, true, -6},
      {TCipherMode::OFB, false, true, -6},  {TCipherMode::CBC, false, false, -1},
      {TCipherMode::CBC, false, true, -1},  {TCipherMode::CBC, true, false, -4},
      {TCipherMode::CBC, true, true, 0},
  };
  for (const Case& c : cases) {
    TQuorin q(nullptr);
    q.SetCipherMode(c.mode);
    if (c.key) q.InitialiseString("k");
    if (c.iv) q.LoadIVString("0123456789ABCDEF");
    Rc6::TBlock mac;
    mac.fill(0xFF);
    EXPECT_EQ(q.CBCMACBlock(mac), c.expected);
    std::string hex = "old";
    EXPECT_EQ(q.CBCMACString(hex), c.expected);
    if (c.expected != 0) {
      EXPECT_EQ(mac, Rc6::TBlock{});
      EXPECT_EQ(hex, std::string(32, '0'));
    } else {
      EXPECT_EQ(hex, "30313233343536373839414243444546");
    }
  }
}

TEST(CbcMac, ReadsTheIVThenTheLastCiphertextBlock) {
  TQuorin q(nullptr);
  q.SetCipherMode(TCipherMode::CBC);
  q.InitialiseString("mac key");
  Bytes iv(16);
  for (std::size_t i = 0; i < 16; ++i) iv[i] = static_cast<std::uint8_t>(i);
  q.LoadIVByte(iv, 16);
  std::string hex;
  ASSERT_EQ(q.CBCMACString(hex), 0);
  EXPECT_EQ(hex, "000102030405060708090A0B0C0D0E0F");

  std::string cipher;
  q.SetStringMode(Rc6::TStringMode::smNormal);
  ASSERT_EQ(q.EncryptString("a message of some length", cipher), 0);
  Rc6::TBlock mac1{}, mac2{};
  ASSERT_EQ(q.CBCMACBlock(mac1), 0);
  ASSERT_EQ(q.CBCMACBlock(mac2), 0);
  EXPECT_EQ(mac1, mac2) << "reading the MAC changes nothing";
  EXPECT_EQ(ToHex(mac1.data(), 16), ToHex(cipher.substr(cipher.size() - 16)));
}

}  // namespace
