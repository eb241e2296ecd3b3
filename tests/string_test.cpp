// String encryption and decryption: padding, armour, the unpadding rule and refusals.
#include <gtest/gtest.h>

#include "TestSupport.h"

using namespace testsupport;
using Rc6::TCipherMode;
using Rc6::TQuorin;
using Rc6::TStringMode;

namespace {

const std::string kKey = "string test key!";
const std::string kIV = "string test iv..";

std::unique_ptr<TQuorin> Make(TCipherMode mode, TStringMode stringMode) {
  auto q = std::make_unique<TQuorin>(nullptr);
  q->SetCipherMode(mode);
  q->SetStringMode(stringMode);
  q->InitialiseString(kKey);
  q->LoadIVString(kIV);
  return q;
}

class StringRoundTrip : public ::testing::TestWithParam<std::tuple<TCipherMode, TStringMode>> {};

TEST_P(StringRoundTrip, EveryLengthFrom0To100) {
  const auto [mode, stringMode] = GetParam();
  std::mt19937_64 rng(11);
  auto enc = Make(mode, stringMode), dec = Make(mode, stringMode);
  for (std::size_t len = 0; len <= 100; ++len) {
    Bytes plain = RandomBytes(rng, len);
    for (std::size_t i = 0; i < len; i += 7) plain[i] = 0;
    if (len > 0) plain.back() = static_cast<std::uint8_t>(len % 16 + 1);  // ends like padding
    std::string cipher, back;
    enc->LoadIVString(kIV);
    ASSERT_EQ(enc->EncryptString(AsString(plain), cipher), 0);
    const std::size_t raw = 16 * (len / 16 + 1);
    EXPECT_EQ(cipher.size(), stringMode == TStringMode::smEncode ? (4 * raw + 2) / 3 : raw) << len;
    dec->LoadIVString(kIV);
    ASSERT_EQ(dec->DecryptString(cipher, back), 0);
    EXPECT_EQ(AsBytes(back), plain) << len;
  }
}

INSTANTIATE_TEST_SUITE_P(AllModes, StringRoundTrip,
                         ::testing::Combine(::testing::ValuesIn(kAllModes),
                                            ::testing::Values(TStringMode::smEncode,
                                                              TStringMode::smNormal)),
                         [](const auto& p) {
                           return std::string(ModeName(std::get<0>(p.param))) +
                                  (std::get<1>(p.param) == TStringMode::smEncode ? "_armoured"
                                                                                 : "_raw");
                         });

TEST(Strings, ArmouredLengths) {
  auto q = Make(TCipherMode::CBC, TStringMode::smEncode);
  struct Case {
    std::size_t plain, chars;
  } cases[] = {{0, 22}, {15, 22}, {16, 43}, {31, 43}, {32, 64}, {47, 64}, {48, 86}};
  for (const Case& c : cases) {
    std::string out;
    ASSERT_EQ(q->EncryptString(std::string(c.plain, 'p'), out), 0);
    EXPECT_EQ(out.size(), c.chars) << c.plain;
  }
}

TEST(Strings, RawFormIsThePaddedPlaintextBlockByBlock) {
  for (TCipherMode mode : kAllModes) {
    auto s = Make(mode, TStringMode::smNormal), b = Make(mode, TStringMode::smNormal);
    const std::string plain = "seventeen bytes!!";
    std::string cipher;
    ASSERT_EQ(s->EncryptString(plain, cipher), 0);
    std::string padded = plain + std::string(15, '\x0F');
    std::copy(padded.begin(), padded.end(), b->Buffer().begin());
    ASSERT_EQ(b->EncryptBuffer(32), 0);
    EXPECT_EQ(AsBytes(cipher), Bytes(b->Buffer().begin(), b->Buffer().begin() + 32))
        << ModeName(mode);
    EXPECT_EQ(ChainRegister(*s), ChainRegister(*b)) << ModeName(mode);
  }
}

TEST(Strings, UnpaddingLooksAtTheLastByteOnly) {
  // In ECB a chosen final plaintext block can be encrypted directly.
  struct Case {
    std::uint8_t last;
    std::size_t kept;
  } cases[] = {{1, 15}, {9, 7}, {16, 0}, {0, 15}, {17, 15}, {255, 15}};
  for (const Case& c : cases) {
    auto q = Make(TCipherMode::ECB, TStringMode::smNormal);
    Rc6::TBlock block;
    block.fill(0xAA);
    block[15] = c.last;
    Rc6::TBlock cipher{};
    ASSERT_EQ(q->EncryptBlock(block, cipher), 0);
    std::string out = "previous";
    ASSERT_EQ(q->DecryptString(std::string(cipher.begin(), cipher.end()), out), 0);
    EXPECT_EQ(out, std::string(block.begin(), block.begin() + static_cast<long>(c.kept)))
        << int{c.last};
  }
}

TEST(Strings, WrongKeyDecryptsWithoutComplaint) {
  auto enc = Make(TCipherMode::CBC, TStringMode::smEncode);
  std::string cipher, out;
  ASSERT_EQ(enc->EncryptString("some secret text", cipher), 0);
  TQuorin wrong(nullptr);
  wrong.SetCipherMode(TCipherMode::CBC);
  wrong.InitialiseString("not the key");
  wrong.LoadIVString(kIV);
  EXPECT_EQ(wrong.DecryptString(cipher, out), 0);
  EXPECT_NE(out, "some secret text");
  EXPECT_LT(out.size(), 32u);
}

TEST(Strings, CiphertextThatIsNotWholeBlocksIsRefusedUntouched) {
  struct Case {
    TStringMode mode;
    std::string source;
  } cases[] = {
      {TStringMode::smNormal, ""},
      {TStringMode::smNormal, std::string(15, 'x')},
      {TStringMode::smNormal, std::string(17, 'x')},
      {TStringMode::smNormal, std::string(22, 'x')},  // armoured text read as raw
      {TStringMode::smEncode, ""},
      {TStringMode::smEncode, "z"},
      {TStringMode::smEncode, std::string(21, 'A')},  // truncated armour
      {TStringMode::smEncode, std::string(16, 'A')},  // raw bytes read as armour
  };
  for (const Case& c : cases) {
    auto q = Make(TCipherMode::CBC, c.mode);
    const Bytes chainBefore = ChainRegister(*q);
    std::string dest = "untouched";
    EXPECT_EQ(q->DecryptString(c.source, dest), -8) << c.source.size();
    EXPECT_EQ(dest, "untouched");
    EXPECT_EQ(ChainRegister(*q), chainBefore);
  }
}

TEST(Strings, RefusalsLeaveDestAndChainAlone) {
  for (TCipherMode mode : {TCipherMode::CBC, TCipherMode::CFB, TCipherMode::OFB}) {
    TQuorin q(nullptr);
    q.SetCipherMode(mode);
    std::string dest = "kept";
    EXPECT_EQ(q.EncryptString("x", dest), -1);
    EXPECT_EQ(q.DecryptString(std::string(16, 'x'), dest), -1);
    q.InitialiseString(kKey);
    EXPECT_EQ(q.EncryptString("x", dest), -4);
    EXPECT_EQ(q.DecryptString(std::string(22, 'x'), dest), -4);
    EXPECT_EQ(dest, "kept");
  }
  TQuorin ecb(nullptr);
  ecb.InitialiseString(kKey);
  std::string out;
  EXPECT_EQ(ecb.EncryptString("no IV needed", out), 0);
  ecb.Burn();
  std::string dest = "kept";
  EXPECT_EQ(ecb.EncryptString("x", dest), -1);
  EXPECT_EQ(dest, "kept");
}

TEST(Strings, SourceAndDestMayBeTheSameStringAndGiveTheSameBytes) {
  for (TStringMode sm : {TStringMode::smEncode, TStringMode::smNormal})
    for (TCipherMode mode : kAllModes)
      for (std::size_t size : {0u, 15u, 16u, 17u, 1000u}) {
        SCOPED_TRACE(std::string(ModeName(mode)) + ", " + std::to_string(size) + " bytes");
        const std::string plain(size, 'i');
        std::string apart, s = plain;
        ASSERT_EQ(Make(mode, sm)->EncryptString(plain, apart), 0);
        auto q = Make(mode, sm);
        ASSERT_EQ(q->EncryptString(s, s), 0);
        EXPECT_EQ(s, apart);
        q->LoadIVString(kIV);
        ASSERT_EQ(q->DecryptString(s, s), 0);
        EXPECT_EQ(s, plain);
      }
}

TEST(Strings, TheChainRunsOnFromCallToCall) {
  for (TCipherMode mode : {TCipherMode::CBC, TCipherMode::CFB, TCipherMode::OFB}) {
    auto q = Make(mode, TStringMode::smNormal);
    std::string first, second, third, back;
    q->EncryptString("same text", first);
    q->EncryptString("same text", second);
    EXPECT_NE(first, second) << ModeName(mode);
    q->LoadIVString(kIV);
    q->EncryptString("same text", third);
    EXPECT_EQ(first, third) << ModeName(mode);
    // Decrypting without reloading the IV starts from the advanced chain.
    q->DecryptString(first, back);
    EXPECT_NE(back.substr(0, 9), "same text") << ModeName(mode);
  }
}

}  // namespace
