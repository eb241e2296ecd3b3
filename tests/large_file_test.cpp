// Large files: a 1 GiB round trip with the peak memory of the process checked
// not to grow with the file, and files split over two cores giving the bytes
// and the state of the one-core path. Labelled "long".
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <memory>

#include "TestSupport.h"
#include "quorin/platform/OneCore.h"

using namespace testsupport;

namespace {

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
  const long before = PeakResidentKiB();
  Rc6::TQuorin q(nullptr);
  q.SetCipherMode(Rc6::TCipherMode::CBC);
  q.InitialiseString("a large file key");
  q.LoadIVString("a large file iv.");
  ASSERT_EQ(q.EncryptFile(plain, cipher), 0);
  EXPECT_EQ(std::filesystem::file_size(cipher), static_cast<std::uintmax_t>(kSize + 11));
  std::filesystem::remove(plain);
  q.LoadIVString("a large file iv.");
  ASSERT_EQ(q.DecryptFile(cipher, back), 0);
  const long after = PeakResidentKiB();
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

// From 8 MiB on, ECB and CBC and CFB decryption split the cipher work of
// files and streams over two cores (where the process may use two): the
// bytes, the chain and the work buffer must be those of the one-core path,
// chunk by chunk through the work buffer, at sizes around the split points
// (just below the threshold, at it, and with a last run of just over 64 KiB).
class TwoCores : public ::testing::TestWithParam<Rc6::TCipherMode> {
 protected:
  std::unique_ptr<Rc6::TQuorin> Make() const {
    auto q = std::make_unique<Rc6::TQuorin>(nullptr);
    q->SetCipherMode(GetParam());
    q->SetKeySize(Rc6::TKeySize::Med192);
    q->InitialiseString("two core key");
    q->LoadIVString("two core iv");
    return q;
  }
  static void ExpectSameState(Rc6::TQuorin& a, Rc6::TQuorin& b) {
    EXPECT_EQ(ChainRegister(a), ChainRegister(b));
    EXPECT_TRUE(std::ranges::equal(a.Buffer(), b.Buffer())) << "work buffers differ";
  }
  // Runs f with this thread, and the threads it starts, on one core, where
  // the component has no second core to split over.
  template <class F>
  static void OnOneCore(F f) {
    const quorin::platform::OneCore confined;
    f();
  }
  static Bytes Of(framework::TMemoryStream& m) {
    return Bytes(m.Memory(), m.Memory() + m.GetSize());
  }
  static void Fill(framework::TMemoryStream& m, const Bytes& data) {
    m.Write(data.data(), static_cast<std::int32_t>(data.size()));
    m.SetPosition(0);
  }
};

TEST_P(TwoCores, GiveTheOneCoreBytesAroundTheSplitPoints) {
  std::mt19937_64 rng(21);
  TempDir dir;
  const std::string p = dir.File("p"), c = dir.File("c"), b = dir.File("b");
  for (const std::size_t size : {8388592u, 8388608u, 9507184u}) {
    SCOPED_TRACE(size);
    const Bytes plain = RandomBytes(rng, size);
    WriteFileBytes(p, plain);
    auto file = Make(), stream = Make(), byHand = Make(), oneCore = Make();
    ASSERT_EQ(file->EncryptFile(p, c), 0);
    const Bytes cipher = ReadFileBytes(c);
    EXPECT_EQ(cipher, ChunkByChunk(*byHand, plain, true));
    ExpectSameState(*file, *byHand);
    // Streams end their chunks where files do not (a whole last chunk is
    // followed by one of padding alone): their oracle is the same call on
    // an instance confined to one core.
    framework::TMemoryStream src, mid, back, oneSrc, oneMid, oneBack;
    Fill(src, plain);
    Fill(oneSrc, plain);
    ASSERT_EQ(stream->EncryptStream(src, mid), 0);
    OnOneCore([&] { ASSERT_EQ(oneCore->EncryptStream(oneSrc, oneMid), 0); });
    EXPECT_EQ(Of(mid), cipher);
    ExpectSameState(*stream, *oneCore);

    for (auto* q : {file.get(), stream.get(), byHand.get()}) q->LoadIVString("two core iv");
    ASSERT_EQ(file->DecryptFile(c, b), 0);
    EXPECT_EQ(ReadFileBytes(b), plain);
    EXPECT_EQ(ChunkByChunk(*byHand, cipher, false), plain);
    ExpectSameState(*file, *byHand);
    mid.SetPosition(0);
    oneMid.SetPosition(0);
    oneCore->LoadIVString("two core iv");
    ASSERT_EQ(stream->DecryptStream(mid, back), 0);
    OnOneCore([&] { ASSERT_EQ(oneCore->DecryptStream(oneMid, oneBack), 0); });
    EXPECT_EQ(Of(back), plain);
    ExpectSameState(*stream, *oneCore);
  }
}

// A stream that comes up short ends where the chunk-by-chunk loop ends: the
// status, the output written, the chain, the source's position and (after a
// short write) the work buffer, for a chunk at a group's start and inside one.
TEST_P(TwoCores, ShortReadsAndWritesEndAsTheOneCoreLoopEnds) {
  std::mt19937_64 rng(22);
  const Bytes data = RandomBytes(rng, (12 << 20) + 48);
  struct Case {
    bool shortRead;
    int at;  // the chunk that comes up short
  } cases[] = {{false, 256}, {false, 300}, {true, 512}, {true, 600}};
  for (const bool encrypt : {true, false}) {
    for (const Case& k : cases) {
      SCOPED_TRACE(std::to_string(k.at) + (k.shortRead ? " read" : " write") +
                   (encrypt ? ", encrypting" : ", decrypting"));
      auto q = Make(), byHand = Make();
      ShortStream src, dst;
      Fill(src, data);
      (k.shortRead ? src.shortReadAt : dst.shortWriteAt) = k.at;
      EXPECT_EQ(encrypt ? q->EncryptStream(src, dst) : q->DecryptStream(src, dst),
                k.shortRead ? Rc6::TStatus::ShortRead : Rc6::TStatus::FileError);
      // The loop transformed and wrote every chunk before a short read, and
      // every chunk up to a short write, that one included.
      const std::size_t done = static_cast<std::size_t>(k.shortRead ? k.at : k.at + 1) * 4096;
      Bytes expected;
      for (std::size_t at = 0; at < done; at += 4096) {
        std::copy_n(data.begin() + static_cast<std::ptrdiff_t>(at), 4096, byHand->Buffer().begin());
        ASSERT_EQ(encrypt ? byHand->EncryptBuffer(4096) : byHand->DecryptBuffer(4096), 0);
        expected.insert(expected.end(), byHand->Buffer().begin(), byHand->Buffer().begin() + 4096);
      }
      EXPECT_EQ(Of(dst), expected);
      EXPECT_EQ(ChainRegister(*q), ChainRegister(*byHand));
      EXPECT_EQ(src.Position(), static_cast<std::int64_t>(done + (k.shortRead ? 4096 : 0)));
      if (!k.shortRead) ExpectSameState(*q, *byHand);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(AllModes, TwoCores, ::testing::ValuesIn(kAllModes),
                         [](const auto& p) { return std::string(ModeName(p.param)); });

}  // namespace
