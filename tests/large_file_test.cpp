// Large files: a 1 GiB round trip with the peak memory of the process checked
// not to grow with the file, and files split over two cores giving the bytes
// and the state of the one-core path. Labelled "long".
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <memory>

#include "TestSupport.h"

using namespace testsupport;

namespace {

long PeakRssKiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

TEST(LargeFile, OneGiBRoundTripInBoundedMemory) {
  constexpr std::int64_t kSize = (std::int64_t{1} << 30) + 5;  // 1 GiB and a tail
  TempDir dir;
  const std::string plain = dir.File("plain"), cipher = dir.File("cipher"), back = dir.File("back");
  {
    // A sparse file of zeros with a few marked bytes; written without holding it in memory.
    std::ofstream out(plain, std::ios::binary);
    out.seekp(kSize - 1);
    out.put('!');
    out.seekp(4096 * 1000 + 7);
    out.put('?');
  }
  const long before = PeakRssKiB();
  Rc6::TQuorin q(nullptr);
  q.SetCipherMode(Rc6::TCipherMode::CBC);
  q.InitialiseString("a large file key");
  q.LoadIVString("a large file iv.");
  ASSERT_EQ(q.EncryptFile(plain, cipher), 0);
  EXPECT_EQ(std::filesystem::file_size(cipher), static_cast<std::uintmax_t>(kSize + 11));
  std::filesystem::remove(plain);
  q.LoadIVString("a large file iv.");
  ASSERT_EQ(q.DecryptFile(cipher, back), 0);
  const long after = PeakRssKiB();
  std::filesystem::remove(cipher);

  ASSERT_EQ(std::filesystem::file_size(back), static_cast<std::uintmax_t>(kSize));
  std::ifstream in(back, std::ios::binary);
  std::vector<char> chunk(1 << 20);
  std::int64_t offset = 0, marks = 0;
  while (in.read(chunk.data(), static_cast<std::streamsize>(chunk.size())) || in.gcount() > 0) {
    for (std::streamsize i = 0; i < in.gcount(); ++i) {
      if (chunk[static_cast<std::size_t>(i)] == 0) continue;
      const std::int64_t at = offset + i;
      EXPECT_TRUE(at == kSize - 1 || at == 4096 * 1000 + 7) << "unexpected byte at " << at;
      ++marks;
    }
    offset += in.gcount();
  }
  EXPECT_EQ(marks, 2);
  // The operations stream through a fixed buffer: the peak grows by far less than the file.
  EXPECT_LT(after - before, 16 * 1024)
      << "peak RSS grew from " << before << " to " << after << " KiB";
  RecordProperty("PeakRssKiB", std::to_string(after));
}

// From 8 MiB on, ECB and CBC and CFB decryption split a file's cipher work
// over two cores (where the process may use two): the bytes, the chain and
// the work buffer must be those of the one-core path, chunk by chunk through
// the work buffer, at sizes around the split points (just below the
// threshold, at it, and with a last run of just over 64 KiB).
class TwoCoreFiles : public ::testing::TestWithParam<Rc6::TCipherMode> {};

TEST_P(TwoCoreFiles, GiveTheOneCoreBytesAroundTheSplitPoints) {
  const auto make = [this] {
    auto q = std::make_unique<Rc6::TQuorin>(nullptr);
    q->SetCipherMode(GetParam());
    q->SetKeySize(Rc6::TKeySize::Med192);
    q->InitialiseString("two core key");
    q->LoadIVString("two core iv");
    return q;
  };
  std::mt19937_64 rng(21);
  TempDir dir;
  const std::string p = dir.File("p"), c = dir.File("c"), b = dir.File("b");
  for (const std::size_t size : {8388592u, 8388608u, 9507184u}) {
    SCOPED_TRACE(size);
    const Bytes plain = RandomBytes(rng, size);
    WriteFileBytes(p, plain);
    auto file = make(), byHand = make();
    ASSERT_EQ(file->EncryptFile(p, c), 0);
    const Bytes cipher = ReadFileBytes(c);
    EXPECT_EQ(cipher, ChunkByChunk(*byHand, plain, true));
    EXPECT_EQ(ChainRegister(*file), ChainRegister(*byHand));
    EXPECT_TRUE(std::ranges::equal(file->Buffer(), byHand->Buffer())) << "work buffers differ";

    file->LoadIVString("two core iv");
    byHand->LoadIVString("two core iv");
    ASSERT_EQ(file->DecryptFile(c, b), 0);
    EXPECT_EQ(ReadFileBytes(b), plain);
    EXPECT_EQ(ChunkByChunk(*byHand, cipher, false), plain);
    EXPECT_EQ(ChainRegister(*file), ChainRegister(*byHand));
    EXPECT_TRUE(std::ranges::equal(file->Buffer(), byHand->Buffer())) << "work buffers differ";
  }
}

INSTANTIATE_TEST_SUITE_P(AllModes, TwoCoreFiles, ::testing::ValuesIn(kAllModes),
                         [](const auto& p) { return std::string(ModeName(p.param)); });

}  // namespace
