// The work buffer, stream and file operations.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <filesystem>

#include "TestSupport.h"
#include "quorin/framework/Classes.h"

using namespace testsupport;
using Rc6::TCipherMode;
using Rc6::TQuorin;

namespace {

const std::string kKey = "bulk operations key";
const std::string kIV = "bulk iv";

std::unique_ptr<TQuorin> Make(TCipherMode mode) {
  auto q = std::make_unique<TQuorin>(nullptr);
  q->SetCipherMode(mode);
  q->SetKeySize(Rc6::TKeySize::Med192);
  q->SetStringMode(Rc6::TStringMode::smNormal);
  q->InitialiseString(kKey);
  q->LoadIVString(kIV);
  return q;
}

Bytes StreamBytes(framework::TMemoryStream& m) {
  return Bytes(m.Memory(), m.Memory() + m.GetSize());
}

void Fill(framework::TMemoryStream& m, const Bytes& data) {
  m.Clear();
  m.Write(data.data(), static_cast<std::int32_t>(data.size()));
  m.SetPosition(0);
}

bool Exists(const std::string& path) {
  return std::filesystem::exists(path);
}

TEST(Buffer, TransformsExactlyCountBytesInPlace) {
  auto q = Make(TCipherMode::CBC);
  auto buf = q->Buffer();
  std::fill(buf.begin(), buf.end(), 0x5C);
  EXPECT_EQ(q->BufferPtr(), nullptr);
  ASSERT_EQ(q->EncryptBuffer(16), 0);
  EXPECT_EQ(q->BufferPtr(), buf.data());
  EXPECT_NE(Bytes(buf.begin(), buf.begin() + 16), Bytes(16, 0x5C));
  EXPECT_TRUE(std::all_of(buf.begin() + 16, buf.end(), [](std::uint8_t b) { return b == 0x5C; }));
  q->LoadIVString(kIV);
  ASSERT_EQ(q->DecryptBuffer(16), 0);
  EXPECT_EQ(Bytes(buf.begin(), buf.begin() + 16), Bytes(16, 0x5C));
}

TEST(Buffer, BadCountsAreRefusedAndChangeNothing) {
  for (std::int32_t count : {0, -16, 8, 17, 4113, 4128, INT_MIN, INT_MAX}) {
    auto q = Make(TCipherMode::CBC);
    auto buf = q->Buffer();
    std::fill(buf.begin(), buf.end(), 0x11);
    const Bytes chain = ChainRegister(*q);
    EXPECT_EQ(q->EncryptBuffer(count), -7) << count;
    EXPECT_EQ(q->DecryptBuffer(count), -7) << count;
    EXPECT_EQ(q->BufferPtr(), nullptr);
    EXPECT_TRUE(std::all_of(buf.begin(), buf.end(), [](std::uint8_t b) { return b == 0x11; }));
    EXPECT_EQ(ChainRegister(*q), chain);
  }
  auto q = Make(TCipherMode::ECB);
  EXPECT_EQ(q->EncryptBuffer(4112), 0) << "the largest count";
  TQuorin fresh(nullptr);
  EXPECT_EQ(fresh.EncryptBuffer(0), -1) << "-1 comes before -7";
  fresh.SetCipherMode(TCipherMode::OFB);
  fresh.InitialiseString("k");
  EXPECT_EQ(fresh.DecryptBuffer(5), -4) << "-4 comes before -7";
}

// Encrypted sizes: the smallest multiple of 16 above the plaintext length.
class BulkSizes : public ::testing::TestWithParam<TCipherMode> {};

TEST_P(BulkSizes, FilesAndStreamsGiveTheStringBytesAndRoundTrip) {
  const TCipherMode mode = GetParam();
  std::mt19937_64 rng(12);
  TempDir dir;
  const std::string plainFile = dir.File("p"), cipherFile = dir.File("c"), backFile = dir.File("b");
  struct Case {
    std::size_t in, out;
  } cases[] = {{0, 16},
               {1, 16},
               {15, 16},
               {16, 32},
               {32, 48},
               {4080, 4096},
               {4095, 4096},
               {4096, 4112},
               {4097, 4112},
               {4100, 4112},
               {8192, 8208},
               {1048576, 1048592},
               {2101249, 2101264},  // read and written on a thread of its own
               // From 8 MiB on, ECB and CBC and CFB decryption split their runs over two cores.
               {8388592, 8388608},
               {8388608, 8388624},
               {9507184, 9507200}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.in));
    const Bytes plain = RandomBytes(rng, c.in);
    WriteFileBytes(plainFile, plain);

    auto fileQ = Make(mode), streamQ = Make(mode), stringQ = Make(mode);
    ASSERT_EQ(fileQ->EncryptFile(plainFile, cipherFile), 0);
    const Bytes fromFile = ReadFileBytes(cipherFile);
    EXPECT_EQ(fromFile.size(), c.out);

    framework::TMemoryStream src, dst;
    Fill(src, plain);
    ASSERT_EQ(streamQ->EncryptStream(src, dst), 0);
    EXPECT_EQ(StreamBytes(dst), fromFile);

    std::string fromString;
    ASSERT_EQ(stringQ->EncryptString(AsString(plain), fromString), 0);
    EXPECT_EQ(AsBytes(fromString), fromFile);
    EXPECT_EQ(ChainRegister(*fileQ), ChainRegister(*streamQ));
    auto byHand = Make(mode);
    EXPECT_EQ(ChunkByChunk(*byHand, plain, true), fromFile);
    EXPECT_EQ(ChainRegister(*byHand), ChainRegister(*fileQ));
    EXPECT_TRUE(std::ranges::equal(fileQ->Buffer(), byHand->Buffer())) << "work buffers differ";

    fileQ->LoadIVString(kIV);
    ASSERT_EQ(fileQ->DecryptFile(cipherFile, backFile), 0);
    EXPECT_EQ(ReadFileBytes(backFile), plain);
    streamQ->LoadIVString(kIV);
    dst.SetPosition(0);
    framework::TMemoryStream back;
    ASSERT_EQ(streamQ->DecryptStream(dst, back), 0);
    EXPECT_EQ(StreamBytes(back), plain);
    byHand->LoadIVString(kIV);
    EXPECT_EQ(ChunkByChunk(*byHand, fromFile, false), plain);
    EXPECT_EQ(ChainRegister(*byHand), ChainRegister(*fileQ));
    EXPECT_TRUE(std::ranges::equal(fileQ->Buffer(), byHand->Buffer())) << "work buffers differ";
  }
}

TEST_P(BulkSizes, RandomSizesUpToSomeMiBRoundTrip) {
  const TCipherMode mode = GetParam();
  std::mt19937_64 rng(13 + static_cast<unsigned>(mode));
  TempDir dir;
  for (std::size_t size : {std::size_t{rng() % 100000}, std::size_t{1000000 + rng() % 2000000}}) {
    const Bytes plain = RandomBytes(rng, size);
    WriteFileBytes(dir.File("p"), plain);
    auto q = Make(mode);
    ASSERT_EQ(q->EncryptFile(dir.File("p"), dir.File("c")), 0);
    q->LoadIVString(kIV);
    ASSERT_EQ(q->DecryptFile(dir.File("c"), dir.File("b")), 0);
    EXPECT_EQ(ReadFileBytes(dir.File("b")), plain) << size;

    framework::TMemoryStream src, mid, back;
    Fill(src, plain);
    q->LoadIVString(kIV);
    ASSERT_EQ(q->EncryptStream(src, mid), 0);
    EXPECT_EQ(StreamBytes(mid), ReadFileBytes(dir.File("c")));
    q->LoadIVString(kIV);
    mid.SetPosition(0);
    ASSERT_EQ(q->DecryptStream(mid, back), 0);
    EXPECT_EQ(StreamBytes(back), plain) << size;
  }
}

INSTANTIATE_TEST_SUITE_P(AllModes, BulkSizes, ::testing::ValuesIn(kAllModes),
                         [](const auto& p) { return std::string(ModeName(p.param)); });

TEST(Files, TwoFilesInARowFormOneChain) {
  TempDir dir;
  WriteFileBytes(dir.File("p"), AsBytes("the same content in both files"));
  auto enc = Make(TCipherMode::CBC);
  ASSERT_EQ(enc->EncryptFile(dir.File("p"), dir.File("c1")), 0);
  ASSERT_EQ(enc->EncryptFile(dir.File("p"), dir.File("c2")), 0);
  EXPECT_NE(ReadFileBytes(dir.File("c1")), ReadFileBytes(dir.File("c2")));

  auto dec = Make(TCipherMode::CBC);
  ASSERT_EQ(dec->DecryptFile(dir.File("c1"), dir.File("b1")), 0);
  ASSERT_EQ(dec->DecryptFile(dir.File("c2"), dir.File("b2")), 0);
  EXPECT_EQ(ReadFileBytes(dir.File("b2")), ReadFileBytes(dir.File("p")));

  enc->LoadIVString(kIV);
  ASSERT_EQ(enc->EncryptFile(dir.File("p"), dir.File("c3")), 0);
  EXPECT_EQ(ReadFileBytes(dir.File("c3")), ReadFileBytes(dir.File("c1")));
}

TEST(Files, RefusedWithoutKeyOrIVLeavesTheOutputUnchanged) {
  TempDir dir;
  WriteFileBytes(dir.File("p"), AsBytes("plain"));
  WriteFileBytes(dir.File("out"), AsBytes("precious"));
  TQuorin q(nullptr);
  EXPECT_EQ(q.EncryptFile(dir.File("p"), dir.File("out")), -1);
  EXPECT_EQ(q.DecryptFile(dir.File("p"), dir.File("out")), -1);
  q.SetCipherMode(TCipherMode::CBC);
  q.InitialiseString(kKey);
  EXPECT_EQ(q.EncryptFile(dir.File("p"), dir.File("out")), -4);
  EXPECT_EQ(q.DecryptFile(dir.File("p"), dir.File("out")), -4);
  EXPECT_EQ(ReadFileBytes(dir.File("out")), AsBytes("precious"));
}

TEST(Files, MissingInputRaisesAndLeavesTheOutputAlone) {
  TempDir dir;
  auto q = Make(TCipherMode::ECB);
  const int fds = OpenDescriptorCount();
  EXPECT_THROW(q->EncryptFile(dir.File("missing"), dir.File("new")), framework::EInOutError);
  EXPECT_FALSE(Exists(dir.File("new")));
  WriteFileBytes(dir.File("old"), AsBytes("keep me"));
  EXPECT_THROW(q->DecryptFile(dir.File("missing"), dir.File("old")), framework::EInOutError);
  EXPECT_EQ(ReadFileBytes(dir.File("old")), AsBytes("keep me"));
  EXPECT_EQ(OpenDescriptorCount(), fds);
}

TEST(Files, UnopenableOutputRaisesAndLeaksNothing) {
  TempDir dir;
  WriteFileBytes(dir.File("p"), Bytes(10000, 1));
  auto q = Make(TCipherMode::CBC);
  const int fds = OpenDescriptorCount();
  try {
    q->EncryptFile(dir.File("p"), dir.File("no/such/folder/out"));
    FAIL() << "expected EInOutError";
  } catch (const framework::EInOutError& e) {
    EXPECT_EQ(e.ErrorCode, ENOENT);
    EXPECT_NE(std::string(e.what()).find("no/such/folder/out"), std::string::npos) << e.what();
  }
  EXPECT_EQ(OpenDescriptorCount(), fds);
}

TEST(Files, CiphertextNotWholeBlocksIsRefusedBeforeTheOutputIsCreated) {
  TempDir dir;
  auto q = Make(TCipherMode::CBC);
  const int fds = OpenDescriptorCount();
  for (std::size_t size : {0u, 1u, 15u, 17u, 4097u}) {
    WriteFileBytes(dir.File("c"), Bytes(size, 3));
    EXPECT_EQ(q->DecryptFile(dir.File("c"), dir.File("new")), -8) << size;
    EXPECT_FALSE(Exists(dir.File("new")));
    WriteFileBytes(dir.File("old"), AsBytes("keep"));
    EXPECT_EQ(q->DecryptFile(dir.File("c"), dir.File("old")), -8) << size;
    EXPECT_EQ(ReadFileBytes(dir.File("old")), AsBytes("keep"));
  }
  EXPECT_EQ(OpenDescriptorCount(), fds);
}

TEST(Files, SameFileIsRefusedBeforeAnythingIsOpened) {
  TempDir dir;
  const Bytes content = AsBytes("do not truncate me");
  WriteFileBytes(dir.File("f"), content);
  std::filesystem::create_hard_link(dir.File("f"), dir.File("hard"));
  std::vector<std::string> others{dir.File("f"), dir.File("./f"), dir.File("hard")};
  // Symbolic links where the system lets this user make them (Windows asks a privilege).
  std::error_code noLinks;
  std::filesystem::create_symlink(dir.File("f"), dir.File("soft"), noLinks);
  if (!noLinks) others.push_back(dir.File("soft"));
  auto q = Make(TCipherMode::OFB);
  for (const std::string& other : others) {
    EXPECT_EQ(q->EncryptFile(dir.File("f"), other), -10) << other;
    EXPECT_EQ(q->DecryptFile(other, dir.File("f")), -10) << other;
  }
  EXPECT_EQ(q->EncryptFile(dir.File("absent"), dir.File("absent")), -10);
  EXPECT_FALSE(Exists(dir.File("absent")));
  EXPECT_EQ(ReadFileBytes(dir.File("f")), content);
}

// A final byte chosen in ECB: 0 drops nothing, 17..n drops that many, above n is refused.
TEST(Files, FinalByteRulesOfFilesAndStreams) {
  struct Case {
    std::size_t chunks;  // ciphertext blocks
    std::uint8_t last;
    std::int32_t status;
    std::size_t written;
  } cases[] = {{1, 0, 0, 16},  {1, 16, 0, 0},   {2, 17, 0, 15},       {2, 32, 0, 0},
               {2, 33, -9, 0}, {1, 255, -9, 0}, {257, 200, -9, 4096}, {257, 16, 0, 4096}};
  TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.chunks) + " blocks, last byte " + std::to_string(c.last));
    auto q = Make(TCipherMode::ECB);
    Bytes plain(16 * c.chunks, 0x42);
    plain[16 * c.chunks - 1] = c.last;
    Bytes cipher(plain.size());
    for (std::size_t i = 0; i < plain.size(); i += 16) {
      Rc6::TBlock in, out;
      std::copy_n(plain.begin() + static_cast<long>(i), 16, in.begin());
      q->EncryptBlock(in, out);
      std::copy(out.begin(), out.end(), cipher.begin() + static_cast<long>(i));
    }
    WriteFileBytes(dir.File("c"), cipher);
    EXPECT_EQ(q->DecryptFile(dir.File("c"), dir.File("b")), c.status);
    EXPECT_EQ(ReadFileBytes(dir.File("b")).size(), c.written);

    framework::TMemoryStream src, dst;
    Fill(src, cipher);
    EXPECT_EQ(q->DecryptStream(src, dst), c.status);
    EXPECT_EQ(static_cast<std::size_t>(dst.GetSize()), c.written);
  }
}

TEST(Streams, RefusedCallsReadNothingAndWriteNothing) {
  framework::TMemoryStream src, dst;
  Fill(src, Bytes(100, 7));
  src.SetPosition(0);
  TQuorin q(nullptr);
  EXPECT_EQ(q.EncryptStream(src, dst), -1);
  EXPECT_EQ(q.DecryptStream(src, dst), -1);
  q.SetCipherMode(TCipherMode::CFB);
  q.InitialiseString(kKey);
  EXPECT_EQ(q.EncryptStream(src, dst), -4);
  EXPECT_EQ(q.DecryptStream(src, dst), -4);
  q.LoadIVString(kIV);
  EXPECT_EQ(q.DecryptStream(src, dst), -8) << "100 bytes are not whole blocks";
  framework::TMemoryStream empty;
  EXPECT_EQ(q.DecryptStream(empty, dst), -8);
  EXPECT_EQ(src.Position(), 0);
  EXPECT_EQ(dst.GetSize(), 0);
}

TEST(Streams, ShortReadsAndWritesAreReported) {
  auto q = Make(TCipherMode::CBC);
  framework::TMemoryStream dst;
  ShortStream src;
  src.Write(Bytes(9000, 1).data(), 9000);
  src.SetPosition(0);
  src.shortReadAt = 1;  // the second chunk comes up short
  EXPECT_EQ(q->EncryptStream(src, dst), -11);
  EXPECT_EQ(dst.GetSize(), 4096) << "only the first chunk was written";

  framework::TMemoryStream midway;
  Fill(midway, Bytes(100, 1));
  midway.SetPosition(10);  // the caller forgot to rewind
  framework::TMemoryStream out;
  EXPECT_EQ(q->EncryptStream(midway, out), -11);
  EXPECT_EQ(out.GetSize(), 0);

  ShortStream shortDst;
  shortDst.shortWriteAt = 0;
  framework::TMemoryStream ok;
  Fill(ok, Bytes(50, 1));
  EXPECT_EQ(q->EncryptStream(ok, shortDst), -5);
}

TEST(Streams, PositionsAreKeptAsTheCallerSetThem) {
  auto q = Make(TCipherMode::ECB);
  framework::TMemoryStream src, dst;
  Fill(src, Bytes(20, 9));
  dst.Write("header", 6);
  ASSERT_EQ(q->EncryptStream(src, dst), 0);
  EXPECT_EQ(dst.GetSize(), 6 + 32) << "Dest is written at its position";
  EXPECT_EQ(std::string(reinterpret_cast<char*>(dst.Memory()), 6), "header");
}

}  // namespace

namespace {

// This program never calls Register: the palette is empty, and the component
// works in full all the same.
TEST(WithoutRegistration, TheComponentWorksInFull) {
  EXPECT_TRUE(framework::PalettePages().empty());
  EXPECT_EQ(framework::FindComponentClass("TQuorin"), nullptr);
  auto q = Make(TCipherMode::CBC);
  std::string cipher, plain;
  ASSERT_EQ(q->EncryptString("works without the palette", cipher), 0);
  std::string mac;
  ASSERT_EQ(q->CBCMACString(mac), 0);
  q->LoadIVString(kIV);
  ASSERT_EQ(q->DecryptString(cipher, plain), 0);
  EXPECT_EQ(plain, "works without the palette");
  framework::TMemoryStream src, dst;
  Fill(src, Bytes(5000, 2));
  EXPECT_EQ(q->EncryptStream(src, dst), 0);
  TempDir dir;
  WriteFileBytes(dir.File("p"), Bytes(10, 1));
  EXPECT_EQ(q->EncryptFile(dir.File("p"), dir.File("c")), 0);
}

}  // namespace
