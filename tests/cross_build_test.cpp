// The 1.11 and 1.10 builds in one process: what one encrypts the other
// decrypts, in every mode, both ways; and the 1.10 differences.
#include <gtest/gtest.h>

#include "Cross110.h"
#include "TestSupport.h"

using namespace testsupport;
using Rc6::TQuorin;

namespace {

std::unique_ptr<TQuorin> Make111(const cross110::Settings& s) {
  return cross110::Configured<TQuorin>(s);
}

TEST(CrossBuild, VersionsDiffer) {
  EXPECT_EQ(cross110::Version(), "1.10");
  EXPECT_EQ(TQuorin(nullptr).GetVersion(), "1.11");
}

TEST(CrossBuild, EachDecryptsWhatTheOtherEncrypts) {
  std::mt19937_64 rng(14);
  TempDir dir;
  const std::string plain = AsString(RandomBytes(rng, 5000));
  WriteFileBytes(dir.File("plain"), AsBytes(plain));
  for (Rc6::TCipherMode mode : kAllModes) {
    for (int keySize = 0; keySize < 3; ++keySize) {
      for (int stringMode = 0; stringMode < 2; ++stringMode) {
        const cross110::Settings s{static_cast<int>(mode), keySize, stringMode,
                                   "cross build key with some length", "cross iv"};
        SCOPED_TRACE(std::string(ModeName(mode)) + " key size " + std::to_string(keySize) +
                     " string mode " + std::to_string(stringMode));
        // Strings, raw or armoured as the string mode says.
        std::string by110, by111, back;
        ASSERT_EQ(cross110::EncryptString(s, plain, by110), 0);
        ASSERT_EQ(Make111(s)->EncryptString(plain, by111), 0);
        EXPECT_EQ(by110, by111);
        ASSERT_EQ(Make111(s)->DecryptString(by110, back), 0);
        EXPECT_EQ(back, plain);
        ASSERT_EQ(cross110::DecryptString(s, by111, back), 0);
        EXPECT_EQ(back, plain);

        // Files.
        ASSERT_EQ(cross110::EncryptFile(s, dir.File("plain"), dir.File("c110")), 0);
        ASSERT_EQ(Make111(s)->DecryptFile(dir.File("c110"), dir.File("b111")), 0);
        EXPECT_EQ(ReadFileBytes(dir.File("b111")), AsBytes(plain));
        ASSERT_EQ(Make111(s)->EncryptFile(dir.File("plain"), dir.File("c111")), 0);
        ASSERT_EQ(cross110::DecryptFile(s, dir.File("c111"), dir.File("b110")), 0);
        EXPECT_EQ(ReadFileBytes(dir.File("b110")), AsBytes(plain));

        // Blocks.
        std::string block110;
        Rc6::TBlock in{}, out{};
        std::copy_n(plain.begin(), 16, in.begin());
        ASSERT_EQ(cross110::EncryptBlock(s, plain.substr(0, 16), block110), 0);
        ASSERT_EQ(
            Make111(s)->DecryptBlock(*reinterpret_cast<const Rc6::TBlock*>(block110.data()), out),
            0);
        EXPECT_EQ(out, in);
        ASSERT_EQ(Make111(s)->EncryptBlock(in, out), 0);
        std::string back110;
        ASSERT_EQ(cross110::DecryptBlock(s, std::string(out.begin(), out.end()), back110), 0);
        EXPECT_EQ(back110, plain.substr(0, 16));
      }
    }
  }
}

TEST(CrossBuild, CountVariableKeepsItsValueIn110) {
  for (std::int32_t count : {16, 4096, 4112, 7}) {
    std::int32_t status = 99;
    EXPECT_EQ(cross110::CountAfterEncryptBuffer(count, status), count);
    EXPECT_EQ(status, count == 7 ? -7 : 0) << count;
  }
}

TEST(CrossBuild, SignedRotationsGiveTheUnsignedResults) {
  TQuorin q(nullptr);
  for (std::uint32_t x : {0x80000001u, 0xFFFFFFFFu, 0x12345678u, 0u}) {
    for (std::int32_t amount : {0, 1, 5, 31, 32, 33, -1, INT32_MIN}) {
      std::uint32_t l = x, r = x;
      q.rotl(l, amount);
      q.rotr(r, amount);
      EXPECT_EQ(static_cast<std::uint32_t>(cross110::Rotl(static_cast<std::int32_t>(x), amount)),
                l);
      EXPECT_EQ(static_cast<std::uint32_t>(cross110::Rotr(static_cast<std::int32_t>(x), amount)),
                r);
    }
  }
}

}  // namespace
