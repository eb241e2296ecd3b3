// Keying, the key-length rules, IV loading, Burn and the cipher core as
// methods of the component.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <new>

#include "TestSupport.h"

using namespace testsupport;
using Rc6::TKeySize;
using Rc6::TQuorin;

namespace {

Bytes EncThroughBlock(TQuorin& q, const Bytes& plain) {
  auto block = q.Block();
  std::copy(plain.begin(), plain.end(), block.begin());
  q.EncBlock();
  return Bytes(block.begin(), block.end());
}

Bytes DecThroughBlock(TQuorin& q, const Bytes& cipher) {
  auto block = q.Block();
  std::copy(cipher.begin(), cipher.end(), block.begin());
  q.DecBlock();
  return Bytes(block.begin(), block.end());
}

const Bytes kZeroBlock(16, 0);

TEST(Keying, PublishedVectorsThroughEncBlockAndDecBlock) {
  for (const auto& row : ReadDataFile("rc6-published.vec")) {
    const Bytes key = FromHex(row[1]), plain = FromHex(row[2]), cipher = FromHex(row[3]);
    TQuorin q(nullptr);
    q.SetKeySize(KeySizeFor(key.size()));
    ASSERT_EQ(q.InitialiseByte(key, static_cast<std::int32_t>(key.size())), 0);
    EXPECT_EQ(ToHex(EncThroughBlock(q, plain)), row[3]);
    EXPECT_EQ(ToHex(DecThroughBlock(q, cipher)), row[2]);
  }
}

// The published ciphertexts, by key length, for the zero key with the zero
// block and for the non-zero key with its block.
struct Published {
  std::string zeroCipher, key, plain, cipher;
};
std::map<std::size_t, Published> PublishedByLength() {
  std::map<std::size_t, Published> out;
  for (const auto& row : ReadDataFile("rc6-published.vec")) {
    Published& p = out[std::stoul(row[0])];
    if (FromHex(row[1]) == Bytes(std::stoul(row[0]), 0))
      p.zeroCipher = row[3];
    else
      p.key = row[1], p.plain = row[2], p.cipher = row[3];
  }
  return out;
}

TEST(Keying, ShortKeysActZeroExtended) {
  const auto published = PublishedByLength();
  for (std::size_t len = 1; len <= 16; ++len) {
    TQuorin q(nullptr);
    ASSERT_EQ(q.InitialiseString(std::string(len, '\0')), 0);
    EXPECT_EQ(ToHex(EncThroughBlock(q, kZeroBlock)), published.at(16).zeroCipher) << len;
  }
  TQuorin q(nullptr);
  q.SetKeySize(TKeySize::Large256);
  q.InitialiseString(std::string(1, '\0'));
  EXPECT_EQ(ToHex(EncThroughBlock(q, kZeroBlock)), published.at(32).zeroCipher);

  // A 16-byte key under Med192 is that key followed by eight zero bytes.
  const Bytes key16 = FromHex(published.at(16).key);
  Bytes key24 = key16;
  key24.resize(24, 0);
  TQuorin a(nullptr), b(nullptr);
  a.SetKeySize(TKeySize::Med192);
  b.SetKeySize(TKeySize::Med192);
  a.InitialiseByte(key16, 16);
  b.InitialiseByte(key24, 24);
  const Bytes plain = FromHex(published.at(16).plain);
  EXPECT_EQ(EncThroughBlock(a, plain), EncThroughBlock(b, plain));
  EXPECT_NE(ToHex(EncThroughBlock(a, plain)), published.at(16).cipher);
}

TEST(Keying, LongKeysAreCut) {
  const auto published = PublishedByLength();
  struct Case {
    TKeySize size;
    std::size_t keyLength, expectLength;
  } cases[] = {
      {TKeySize::Small128, 24, 16}, {TKeySize::Small128, 32, 16}, {TKeySize::Med192, 32, 24}};
  for (const Case& c : cases) {
    TQuorin q(nullptr);
    q.SetKeySize(c.size);
    q.InitialiseString(AsString(FromHex(published.at(c.keyLength).key)));
    EXPECT_EQ(ToHex(EncThroughBlock(q, FromHex(published.at(c.keyLength).plain))),
              published.at(c.expectLength).cipher)
        << c.keyLength << " -> " << c.expectLength;
  }
}

TEST(Keying, OnlyTheFirstBBytesMatter) {
  std::mt19937_64 rng(2);
  const Bytes plain = RandomBytes(rng, 16);
  for (TKeySize size : kAllKeySizes) {
    const std::size_t b = size == TKeySize::Small128 ? 16 : size == TKeySize::Med192 ? 24 : 32;
    const Bytes key = RandomBytes(rng, b);
    Bytes longer = key, otherTail = key;
    longer.resize(300, 0xAB);  // beyond the 256-byte staging area too
    otherTail.resize(40, 0x11);
    Bytes reference;
    for (const Bytes& k : {key, longer, otherTail}) {
      TQuorin q(nullptr);
      q.SetKeySize(size);
      ASSERT_EQ(q.InitialiseByte(k, static_cast<std::int32_t>(k.size())), 0);
      const Bytes out = EncThroughBlock(q, plain);
      if (reference.empty()) reference = out;
      EXPECT_EQ(out, reference) << "key of " << k.size() << " bytes";
    }
    // Trailing zero bytes up to b bytes change nothing either.
    Bytes shortKey(key.begin(), key.begin() + 5), padded = shortKey;
    padded.resize(b, 0);
    TQuorin s(nullptr), p(nullptr);
    s.SetKeySize(size);
    p.SetKeySize(size);
    s.InitialiseByte(shortKey, 5);
    p.InitialiseByte(padded, static_cast<std::int32_t>(b));
    EXPECT_EQ(EncThroughBlock(s, plain), EncThroughBlock(p, plain));
  }
}

TEST(Keying, LengthArgumentOfKeySetupIsIgnored) {
  std::mt19937_64 rng(3);
  const Bytes staging = RandomBytes(rng, 256), plain = RandomBytes(rng, 16);
  TQuorin a(nullptr), b(nullptr);
  a.rc6_key_setup(staging, 1);
  b.rc6_key_setup(staging, 256);
  EXPECT_EQ(EncThroughBlock(a, plain), EncThroughBlock(b, plain));
}

TEST(Keying, KeySetupRefusesTooShortArrayAndChangesNothing) {
  const Bytes key(32, 7), plain(16, 1);
  TQuorin q(nullptr);
  q.SetKeySize(TKeySize::Large256);
  q.InitialiseByte(key, 32);
  const Bytes before = EncThroughBlock(q, plain);
  EXPECT_THROW(q.rc6_key_setup(std::span<const std::uint8_t>(key.data(), 31), 31),
               std::out_of_range);
  EXPECT_EQ(EncThroughBlock(q, plain), before);
}

TEST(Keying, KeySizeOutsideTheEnumeratorsActsAs16Bytes) {
  const Bytes key(32, 0x5A), plain(16, 0);
  TQuorin odd(nullptr), small(nullptr);
  odd.SetKeySize(static_cast<TKeySize>(9));
  EXPECT_EQ(static_cast<int>(odd.KeySize()), 9);
  odd.InitialiseByte(key, 32);
  small.InitialiseByte(key, 32);
  EXPECT_EQ(EncThroughBlock(odd, plain), EncThroughBlock(small, plain));
}

TEST(Keying, ChangingKeySizeAfterKeyingChangesNothingUntilRekeyed) {
  const Bytes key(32, 0x33), plain(16, 0x44);
  TQuorin q(nullptr);
  q.InitialiseByte(key, 32);
  const Bytes before = EncThroughBlock(q, plain);
  q.SetKeySize(TKeySize::Large256);
  EXPECT_EQ(EncThroughBlock(q, plain), before);
  q.InitialiseByte(key, 32);
  EXPECT_NE(EncThroughBlock(q, plain), before);
}

TEST(Keying, StringAndByteKeysAgree) {
  const std::string key("a key with a \0 zero byte", 24);
  TQuorin s(nullptr), b(nullptr);
  s.SetKeySize(TKeySize::Med192);
  b.SetKeySize(TKeySize::Med192);
  s.InitialiseString(key);
  b.InitialiseByte(AsBytes(key), 24);
  EXPECT_EQ(EncThroughBlock(s, kZeroBlock), EncThroughBlock(b, kZeroBlock));
}

TEST(Keying, EmptyOrNegativeKeysAreRefusedAndChangeNothing) {
  const Rc6::TBlock in{1, 2, 3};
  Rc6::TBlock out{};
  TQuorin fresh(nullptr);
  const Bytes some(8, 1);
  EXPECT_EQ(fresh.InitialiseString(""), -2);
  EXPECT_EQ(fresh.InitialiseByte(some, 0), -2);
  EXPECT_EQ(fresh.InitialiseByte(some, -1), -2);
  EXPECT_EQ(fresh.InitialiseByte({}, -100), -2);
  EXPECT_EQ(fresh.EncryptBlock(in, out), -1) << "a refused key must not key the component";

  TQuorin keyed(nullptr);
  keyed.InitialiseString("the old key");
  ASSERT_EQ(keyed.EncryptBlock(in, out), 0);
  const Rc6::TBlock before = out;
  EXPECT_EQ(keyed.InitialiseString(""), -2);
  EXPECT_EQ(keyed.InitialiseByte(some, -5), -2);
  ASSERT_EQ(keyed.EncryptBlock(in, out), 0);
  EXPECT_EQ(out, before) << "the old key stays in force";
}

TEST(Keying, CountBeyondTheArrayThrowsAndChangesNothing) {
  TQuorin q(nullptr);
  q.SetCipherMode(Rc6::TCipherMode::CBC);
  q.InitialiseString("key");
  const Bytes iv(16, 0x42), key(8, 9);
  q.LoadIVByte(iv, 16);
  EXPECT_THROW(q.InitialiseByte(key, 9), std::out_of_range);
  EXPECT_THROW(q.LoadIVByte(iv, 17), std::out_of_range);
  EXPECT_EQ(ChainRegister(q), iv);
  TQuorin reference(nullptr);
  reference.InitialiseString("key");
  EXPECT_EQ(EncThroughBlock(q, kZeroBlock), EncThroughBlock(reference, kZeroBlock));
}

TEST(Keying, KeysLongerThanTheStagingAreaWork) {
  const std::string longKey(1000, 'k');
  TQuorin a(nullptr), b(nullptr);
  EXPECT_EQ(a.InitialiseString(longKey), 0);
  b.InitialiseString(longKey.substr(0, 16));
  EXPECT_EQ(EncThroughBlock(a, kZeroBlock), EncThroughBlock(b, kZeroBlock));
}

TEST(Keying, KeyingClearsTheWorkingBlockAndKeepsTheChain) {
  TQuorin q(nullptr);
  q.SetCipherMode(Rc6::TCipherMode::CBC);
  const std::string iv = "0123456789abcdef";
  q.LoadIVString(iv);  // IV before the key is fine
  auto block = q.Block();
  std::fill(block.begin(), block.end(), 0xEE);
  ASSERT_EQ(q.InitialiseString("key one"), 0);
  EXPECT_TRUE(std::all_of(block.begin(), block.end(), [](std::uint8_t b) { return b == 0; }));
  EXPECT_EQ(AsString(ChainRegister(q)), iv);

  // Re-keying in the middle of a chain continues it from the register.
  const Rc6::TBlock p1{1}, p2{2};
  Rc6::TBlock c1{}, c2{}, expected{};
  ASSERT_EQ(q.EncryptBlock(p1, c1), 0);
  q.InitialiseString("key two");
  ASSERT_EQ(q.EncryptBlock(p2, c2), 0);
  TQuorin check(nullptr);
  check.InitialiseString("key two");
  check.SetCipherMode(Rc6::TCipherMode::CBC);
  check.LoadIVByte(c1, 16);
  check.EncryptBlock(p2, expected);
  EXPECT_EQ(c2, expected);
}

TEST(IVLoading, CopiesZeroExtendsAndFoldsLongIVs) {
  struct Case {
    std::string iv;
    std::string expectedHex;
  } cases[] = {
      {"", "00000000000000000000000000000000"},
      {"AB", "41420000000000000000000000000000"},
      {"0123456789abcdef", "30313233343536373839616263646566"},
      {"0123456789abcdefX", "68313233343536373839616263646566"},  // '0' ^ 'X'
      {std::string(32, '\x5A'), "00000000000000000000000000000000"},
      {std::string(33, '\x01'),
       "01000000000000000000000000000000"},  // three bytes fold onto byte 0
  };
  for (const Case& c : cases) {
    TQuorin s(nullptr), b(nullptr);
    s.LoadIVString(c.iv);
    b.LoadIVByte(AsBytes(c.iv), static_cast<std::int32_t>(c.iv.size()));
    s.InitialiseString("k");
    b.InitialiseString("k");
    EXPECT_EQ(ToHex(ChainRegister(s)), c.expectedHex) << c.iv;
    EXPECT_EQ(ChainRegister(b), ChainRegister(s)) << c.iv;
  }
}

TEST(IVLoading, CountOfZeroOrLessLoadsAZeroIV) {
  for (std::int32_t count : {0, -1, -1000}) {
    TQuorin q(nullptr);
    q.SetCipherMode(Rc6::TCipherMode::CBC);
    q.InitialiseString("k");
    q.LoadIVByte({}, count);
    Rc6::TBlock mac{1};
    EXPECT_EQ(q.CBCMACBlock(mac), 0) << count;
    EXPECT_EQ(mac, Rc6::TBlock{}) << count;
  }
}

TEST(Burn, ReturnsToTheFirstStateAndKeepsPropertiesAndBuffer) {
  TQuorin q(nullptr);
  q.SetCipherMode(Rc6::TCipherMode::OFB);
  q.SetKeySize(TKeySize::Large256);
  q.SetStringMode(Rc6::TStringMode::smNormal);
  q.InitialiseString("key");
  q.LoadIVString("iv");
  q.Buffer()[0] = 0x77;
  const Rc6::TBlock in{};
  Rc6::TBlock out{};
  ASSERT_EQ(q.EncryptBlock(in, out), 0);

  q.Burn();
  EXPECT_EQ(q.EncryptBlock(in, out), -1);
  EXPECT_EQ(q.CipherMode(), Rc6::TCipherMode::OFB);
  EXPECT_EQ(q.KeySize(), TKeySize::Large256);
  EXPECT_EQ(q.StringMode(), Rc6::TStringMode::smNormal);
  EXPECT_EQ(q.Buffer()[0], 0x77);
  auto block = q.Block();
  EXPECT_TRUE(std::all_of(block.begin(), block.end(), [](std::uint8_t b) { return b == 0; }));

  q.InitialiseString("key");
  EXPECT_EQ(q.EncryptBlock(in, out), -4) << "the IV was burned too";
  q.LoadIVString("iv");
  EXPECT_EQ(q.EncryptBlock(in, out), 0);
}

// Reads the storage of a destroyed component: the storage is our own byte array.
TEST(Burn, DestructionWipesKeyMaterialAndTheWorkBuffer) {
  alignas(TQuorin) unsigned char storage[sizeof(TQuorin)];
  std::memset(storage, 0, sizeof storage);
  auto* q = new (storage) TQuorin(nullptr);
  q->SetCipherMode(Rc6::TCipherMode::CBC);
  q->InitialiseString("a secret key");
  q->LoadIVString("a secret iv 1234");
  auto buffer = q->Buffer();
  std::fill(buffer.begin(), buffer.end(), 0xC5);
  Rc6::TBlock out{};
  ASSERT_EQ(q->EncryptBlock(Rc6::TBlock{}, out), 0);
  q->~TQuorin();
  const std::string bytes(reinterpret_cast<const char*>(storage), sizeof storage);
  EXPECT_EQ(bytes.find("a secret iv 1234"), std::string::npos);
  EXPECT_EQ(bytes.find(std::string(16, '\xC5')), std::string::npos);
  // The round keys (176 bytes), chain and buffer are gone: only the framework's
  // base part and the property bytes may be left non-zero.
  const auto nonZero = std::count_if(bytes.begin(), bytes.end(), [](char c) { return c != 0; });
  EXPECT_LE(nonZero, static_cast<long>(sizeof(framework::TComponent) + 8));
}

TEST(Component, NewComponentDefaultsAndVersion) {
  TQuorin q(nullptr);
  EXPECT_EQ(q.CipherMode(), Rc6::TCipherMode::ECB);
  EXPECT_EQ(q.KeySize(), TKeySize::Small128);
  EXPECT_EQ(q.StringMode(), Rc6::TStringMode::smEncode);
  EXPECT_EQ(q.BufferPtr(), nullptr);
  EXPECT_EQ(q.GetVersion(), "1.11");
}

TEST(Component, CipherModeOutsideTheFourIsRefused) {
  TQuorin q(nullptr);
  q.SetCipherMode(Rc6::TCipherMode::CFB);
  EXPECT_THROW(q.SetCipherMode(static_cast<Rc6::TCipherMode>(4)), std::out_of_range);
  EXPECT_THROW(q.SetCipherMode(static_cast<Rc6::TCipherMode>(255)), std::out_of_range);
  EXPECT_EQ(q.CipherMode(), Rc6::TCipherMode::CFB);
}

TEST(Component, PublishedPropertiesThroughTheClassDescriptor) {
  const framework::TComponentClass& cls = TQuorin::ComponentClass();
  EXPECT_EQ(cls.ClassName, "TQuorin");
  ASSERT_EQ(cls.Properties.size(), 3u);
  struct Expected {
    const char* name;
    const char* type;
    std::vector<std::string> enums;
  } expected[] = {{"CipherMode", "TCipherMode", {"ECB", "CBC", "CFB", "OFB"}},
                  {"KeySize", "TKeySize", {"Small128", "Med192", "Large256"}},
                  {"StringMode", "TStringMode", {"smEncode", "smNormal"}}};
  framework::TComponent owner(nullptr);
  auto* q = dynamic_cast<TQuorin*>(cls.Create(&owner));
  ASSERT_NE(q, nullptr);
  EXPECT_EQ(owner.ComponentCount(), 1);
  for (std::size_t i = 0; i < 3; ++i) {
    const framework::TPropInfo& p = cls.Properties[i];
    EXPECT_EQ(p.Name, expected[i].name);
    EXPECT_EQ(p.TypeName, expected[i].type);
    EXPECT_EQ(p.EnumNames, expected[i].enums);
    EXPECT_EQ(p.GetOrd(*q), 0);
    const int last = static_cast<int>(p.EnumNames.size()) - 1;
    p.SetOrd(*q, last);
    EXPECT_EQ(p.GetOrd(*q), last);
    EXPECT_THROW(p.SetOrd(*q, last + 1), std::out_of_range);
    EXPECT_EQ(p.GetOrd(*q), last);
  }
  EXPECT_EQ(q->CipherMode(), Rc6::TCipherMode::OFB);
  EXPECT_EQ(q->KeySize(), TKeySize::Large256);
  EXPECT_EQ(q->StringMode(), Rc6::TStringMode::smNormal);
}

TEST(CipherCore, RotationsUseTheLowFiveBits) {
  struct Case {
    std::int32_t amount;
    std::uint32_t left, right;
  } cases[] = {{0, 0x80000001, 0x80000001},        {32, 0x80000001, 0x80000001},
               {1, 0x00000003, 0xC0000000},        {33, 0x00000003, 0xC0000000},
               {-1, 0xC0000000, 0x00000003},       {31, 0xC0000000, 0x00000003},
               {INT32_MIN, 0x80000001, 0x80000001}};
  TQuorin q(nullptr);
  for (const Case& c : cases) {
    std::uint32_t l = 0x80000001, r = 0x80000001;
    q.rotl(l, c.amount);
    q.rotr(r, c.amount);
    EXPECT_EQ(l, c.left) << c.amount;
    EXPECT_EQ(r, c.right) << c.amount;
  }
}

TEST(CipherCore, WordTransformsRoundTripInPlaceAndLeaveTheKeyAlone) {
  std::mt19937_64 rng(4);
  TQuorin q(nullptr);
  q.InitialiseByte(RandomBytes(rng, 16), 16);
  for (int i = 0; i < 100; ++i) {
    const auto w = [&] { return static_cast<std::uint32_t>(rng()); };
    const Rc6::TQuadWord in{w(), w(), w(), w()};
    Rc6::TQuadWord out{}, same = in, back{};
    q.rc6_block_encrypt(in, out);
    q.rc6_block_encrypt(same, same);
    EXPECT_EQ(std::memcmp(&out, &same, sizeof out), 0);
    q.rc6_block_decrypt(out, back);
    EXPECT_EQ(std::memcmp(&back, &in, sizeof in), 0);
    q.rc6_block_decrypt(same, same);
    EXPECT_EQ(std::memcmp(&same, &in, sizeof in), 0);
  }
  const Bytes plain = RandomBytes(rng, 16);
  const Bytes once = EncThroughBlock(q, plain);
  EXPECT_EQ(DecThroughBlock(q, once), plain);
  EXPECT_EQ(EncThroughBlock(q, plain), once) << "the transforms must not change the round keys";
}

}  // namespace
