// A 1 GiB file round trip through the file operations, with the peak memory of
// the process checked not to grow with the file. Labelled "long".
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <fstream>

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

}  // namespace
