// The radix-64 text armour.
#include <gtest/gtest.h>

#include "TestSupport.h"

using namespace testsupport;

namespace {

const Rc6::TQuorin& Armour() {
  static const Rc6::TQuorin q(nullptr);  // pure functions: any instance, no key
  return q;
}

TEST(Armour, EncodeExamples) {
  struct Case {
    std::string in, out;
  } cases[] = {{"", ""},
               {"a", "ME"},
               {"ab", "MK6"},
               {"abc", "MK7X"},
               {"abcd", "MK7XN+"},
               {std::string(3, '\0'), "++++"},
               {std::string(3, '\xFF'), "zzzz"},
               {std::string(1, '\xFF'), "zk"},
               {std::string(2, '\xFF'), "zzw"}};
  for (const Case& c : cases) EXPECT_EQ(Armour().EncodeString(c.in), c.out) << ToHex(c.in);
}

TEST(Armour, DecodeExamples) {
  struct Case {
    std::string in, outHex;
  } cases[] = {{"", ""},           {"z", ""},          {"zz", "ff"},
               {"zk", "ff"},       {"zzz", "ffff"},    {"zzzz", "ffffff"},
               {"z*z!", "fc0fc0"}, {"z+z+", "fc0fc0"}, {"MK7XN+", "61626364"},
               {"A", ""},          {"AA", "30"},       {"aa", "9a"},
               {"z\nzz", "fc0fff"}};
  for (const Case& c : cases) EXPECT_EQ(ToHex(Armour().DecodeString(c.in)), c.outHex) << c.in;
}

TEST(Armour, EveryLengthRoundTripsAndHasTheExpectedSize) {
  std::mt19937_64 rng(10);
  for (std::size_t len = 0; len <= 300; ++len) {
    Bytes data = RandomBytes(rng, len);
    if (len % 3 == 0)  // runs of zero bytes, at the start, middle and end
      for (std::size_t i = 0; i < len; i += 5) data[i] = 0, data[len - 1 - i] = 0;
    const std::string text = Armour().EncodeString(AsString(data));
    EXPECT_EQ(text.size(), (4 * len + 2) / 3) << len;
    EXPECT_EQ(
        text.find_first_not_of("+-0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"),
        std::string::npos);
    EXPECT_EQ(AsBytes(Armour().DecodeString(text)), data) << len;
  }
  EXPECT_EQ(Armour().DecodeString(Armour().EncodeString(std::string(100, '\0'))),
            std::string(100, '\0'));
}

TEST(Armour, BlockMultiplesGiveTheDocumentedLengths) {
  for (std::size_t m = 1; m <= 10; ++m)
    EXPECT_EQ(Armour().EncodeString(std::string(16 * m, 'x')).size(), (64 * m + 2) / 3) << m;
  EXPECT_EQ(Armour().EncodeString(std::string(16, 'x')).size(), 22u);
  EXPECT_EQ(Armour().EncodeString(std::string(32, 'x')).size(), 43u);
  EXPECT_EQ(Armour().EncodeString(std::string(48, 'x')).size(), 64u);
}

TEST(Armour, EveryCharacterDecodesToItsAlphabetPosition) {
  const std::string alphabet = "+-0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  for (int c = 0; c < 256; ++c) {
    const auto pos = alphabet.find(static_cast<char>(c));
    const unsigned value = pos == std::string::npos ? 0 : static_cast<unsigned>(pos);
    // A character followed by "+" decodes to one byte holding its value in the top six bits.
    const std::string text{static_cast<char>(c), '+'};
    EXPECT_EQ(static_cast<std::uint8_t>(Armour().DecodeString(text)[0]), value << 2) << c;
  }
}

}  // namespace
