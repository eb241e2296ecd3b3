// Differential tests against libtomcrypt's independent RC6 and modes: random
// keys of all three sizes and random data, both directions.
#include <gtest/gtest.h>
#include <tomcrypt.h>

#include "TestSupport.h"
#include "cipher/Rc6.h"

using namespace testsupport;

namespace {

int Rc6Index() {
  static const int index = register_cipher(&rc6_desc);
  return index;
}

TEST(Differential, SingleBlocksAgreeWithLibtomcrypt) {
  std::mt19937_64 rng(5);
  for (int keyBytes : {16, 24, 32}) {
    for (int i = 0; i < 2000; ++i) {
      const Bytes key = RandomBytes(rng, static_cast<std::size_t>(keyBytes));
      const Bytes block = RandomBytes(rng, 16);
      symmetric_key skey;
      ASSERT_EQ(rc6_setup(key.data(), keyBytes, 20, &skey), CRYPT_OK);
      Bytes theirsEnc(16), theirsDec(16);
      rc6_ecb_encrypt(block.data(), theirsEnc.data(), &skey);
      rc6_ecb_decrypt(block.data(), theirsDec.data(), &skey);

      Rc6::TQuorin q(nullptr);
      q.SetKeySize(KeySizeFor(static_cast<std::size_t>(keyBytes)));
      ASSERT_EQ(q.InitialiseByte(key, keyBytes), 0);
      Rc6::TBlock in{}, out{};
      std::copy(block.begin(), block.end(), in.begin());
      ASSERT_EQ(q.EncryptBlock(in, out), 0);
      ASSERT_EQ(ToHex(out.data(), 16), ToHex(theirsEnc)) << "key " << ToHex(key);
      ASSERT_EQ(q.DecryptBlock(in, out), 0);
      ASSERT_EQ(ToHex(out.data(), 16), ToHex(theirsDec)) << "key " << ToHex(key);
    }
  }
}

TEST(Differential, OddKeyLengthsOfTheCoreAgreeWithLibtomcrypt) {
  // The core takes any key length the published schedule allows; libtomcrypt
  // accepts 8 to 128 bytes.
  std::mt19937_64 rng(6);
  for (int keyBytes = 8; keyBytes <= 128; ++keyBytes) {
    const Bytes key = RandomBytes(rng, static_cast<std::size_t>(keyBytes));
    const Bytes block = RandomBytes(rng, 16);
    symmetric_key skey;
    ASSERT_EQ(rc6_setup(key.data(), keyBytes, 20, &skey), CRYPT_OK);
    Bytes theirs(16), ours(16);
    rc6_ecb_encrypt(block.data(), theirs.data(), &skey);
    cipher::Rc6RoundKeys S;
    cipher::Rc6ExpandKey(key, S);
    cipher::Rc6EncryptBlocks(S, block.data(), ours.data(), 1);
    EXPECT_EQ(ToHex(ours), ToHex(theirs)) << keyBytes << " key bytes";
  }
}

// libtomcrypt's ECB and chaining modes over random messages, against the
// component's work buffer with the chain running on across chunks, both ways.
TEST(Differential, ChainingModesAgreeWithLibtomcrypt) {
  std::mt19937_64 rng(7);
  for (Rc6::TCipherMode mode :
       {Rc6::TCipherMode::CBC, Rc6::TCipherMode::CFB, Rc6::TCipherMode::OFB}) {
    for (int keyBytes : {16, 24, 32}) {
      for (int round = 0; round < 20; ++round) {
        const Bytes key = RandomBytes(rng, static_cast<std::size_t>(keyBytes));
        const Bytes iv = RandomBytes(rng, 16);
        const std::size_t blocks = 1 + rng() % 600;
        const Bytes plain = RandomBytes(rng, 16 * blocks);
        Bytes theirs(plain.size());
        const auto n = static_cast<unsigned long>(plain.size());
        int err = CRYPT_OK;
        if (mode == Rc6::TCipherMode::ECB) {
          symmetric_ECB s;
          err = ecb_start(Rc6Index(), key.data(), keyBytes, 20, &s);
          if (err == CRYPT_OK) err = ecb_encrypt(plain.data(), theirs.data(), n, &s);
        } else if (mode == Rc6::TCipherMode::CBC) {
          symmetric_CBC s;
          err = cbc_start(Rc6Index(), iv.data(), key.data(), keyBytes, 20, &s);
          if (err == CRYPT_OK) err = cbc_encrypt(plain.data(), theirs.data(), n, &s);
        } else if (mode == Rc6::TCipherMode::CFB) {
          symmetric_CFB s;
          err = cfb_start(Rc6Index(), iv.data(), key.data(), keyBytes, 20, &s);
          if (err == CRYPT_OK) err = cfb_encrypt(plain.data(), theirs.data(), n, &s);
        } else {
          symmetric_OFB s;
          err = ofb_start(Rc6Index(), iv.data(), key.data(), keyBytes, 20, &s);
          if (err == CRYPT_OK) err = ofb_encrypt(plain.data(), theirs.data(), n, &s);
        }
        ASSERT_EQ(err, CRYPT_OK);

        Rc6::TQuorin q(nullptr);
        q.SetKeySize(KeySizeFor(static_cast<std::size_t>(keyBytes)));
        q.SetCipherMode(mode);
        q.InitialiseByte(key, keyBytes);
        q.LoadIVByte(iv, 16);
        auto run = [&q](const Bytes& in, bool encrypt) {
          Bytes out(in.size());
          for (std::size_t off = 0; off < in.size(); off += 4096) {
            const std::size_t len = std::min<std::size_t>(4096, in.size() - off);
            std::copy_n(in.begin() + static_cast<long>(off), len, q.Buffer().begin());
            const auto count = static_cast<std::int32_t>(len);
            EXPECT_EQ(encrypt ? q.EncryptBuffer(count) : q.DecryptBuffer(count), 0);
            std::copy_n(q.Buffer().begin(), len, out.begin() + static_cast<long>(off));
          }
          return out;
        };
        ASSERT_EQ(run(plain, true), theirs) << ModeName(mode) << " " << keyBytes << " " << blocks;
        q.LoadIVByte(iv, 16);
        ASSERT_EQ(run(theirs, false), plain) << ModeName(mode) << " " << keyBytes << " " << blocks;
      }
    }
  }
}

}  // namespace
