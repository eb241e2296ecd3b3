// The framework stand-in: owner mechanism, class registry, streams, typed-file
// I/O and IntToHex.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "quorin/framework/Classes.h"
#include "quorin/framework/SysUtils.h"

using namespace framework;
using testsupport::TempDir;

namespace {

// Records the order in which components are freed.
struct Tracked : TComponent {
  Tracked(TComponent* owner, std::string tag, std::vector<std::string>& log)
      : TComponent(owner), tag_(std::move(tag)), log_(log) {}
  ~Tracked() override { log_.push_back(tag_); }
  std::string tag_;
  std::vector<std::string>& log_;
};

TEST(Owner, OwnerFreesWhatItOwnsNewestFirst) {
  std::vector<std::string> log;
  {
    Tracked owner(nullptr, "owner", log);
    auto* a = new Tracked(&owner, "a", log);
    new Tracked(&owner, "b", log);
    new Tracked(a, "a.child", log);
    EXPECT_EQ(owner.ComponentCount(), 2);
    EXPECT_EQ(owner.Components(0), a);
    EXPECT_EQ(a->Owner(), &owner);
    EXPECT_EQ(a->ComponentCount(), 1);
  }
  EXPECT_EQ(log, (std::vector<std::string>{"owner", "b", "a", "a.child"}));
}

TEST(Owner, ComponentFreedFirstLeavesItsOwner) {
  std::vector<std::string> log;
  Tracked owner(nullptr, "owner", log);
  auto* a = new Tracked(&owner, "a", log);
  auto* b = new Tracked(&owner, "b", log);
  delete a;
  ASSERT_EQ(owner.ComponentCount(), 1);
  EXPECT_EQ(owner.Components(0), b);
  EXPECT_THROW(owner.Components(1), std::out_of_range);
  EXPECT_THROW(owner.Components(-1), std::out_of_range);
}

TEST(Owner, NamesAreIdentifiersUniqueWithinTheOwner) {
  TComponent owner(nullptr);
  auto* a = new TComponent(&owner);
  auto* b = new TComponent(&owner);
  a->SetName("Quorin1");
  EXPECT_EQ(owner.FindComponent("quorin1"), a);
  EXPECT_THROW(b->SetName("QUORIN1"), EComponentError);
  for (const char* bad : {"1abc", "a b", "a-b", "ä"})
    EXPECT_THROW(b->SetName(bad), EComponentError) << bad;
  EXPECT_EQ(b->Name(), "");
  b->SetName("_Quorin2");
  a->SetName("Quorin1");  // renaming to its own name is fine
  EXPECT_EQ(b->Name(), "_Quorin2");
}

TComponentClass MakeClass(const std::string& name) {
  return TComponentClass{
      name, &typeid(TComponent), [](TComponent* owner) { return new TComponent(owner); }, {}};
}

TEST(Registry, PalettePagesKeepRegistrationOrder) {
  const TComponentClass one = MakeClass("TOne"), two = MakeClass("TTwo"),
                        three = MakeClass("TThree");
  RegisterComponents("PageA", {&one, &two});
  RegisterComponents("PageB", {&three});
  RegisterComponents("PageA", {&one});  // again: harmless
  const TComponentClass impostor = MakeClass("TOne");
  EXPECT_THROW(RegisterComponents("PageC", {&impostor}), EComponentError);

  const auto pages = PalettePages();
  std::vector<std::string> seen;
  for (const auto& p : pages)
    for (const auto* c : p.Classes) seen.push_back(p.Name + ":" + c->ClassName);
  EXPECT_EQ(seen, (std::vector<std::string>{"PageA:TOne", "PageA:TTwo", "PageB:TThree"}));
  EXPECT_EQ(FindComponentClass("TTwo"), &two);

  TComponent owner(nullptr);
  TComponent* made = FindComponentClass("TThree")->Create(&owner);
  EXPECT_EQ(made->Owner(), &owner);

  for (const auto* c : {&one, &two, &three}) UnregisterComponentClass(c);
  EXPECT_TRUE(PalettePages().empty());
  EXPECT_EQ(FindComponentClass("TOne"), nullptr);
}

TEST(Streams, MemoryStreamReadsWritesAndSeeks) {
  TMemoryStream m;
  EXPECT_EQ(m.Write("hello world", 11), 11);
  EXPECT_EQ(m.Position(), 11);
  m.SetPosition(6);
  EXPECT_EQ(m.GetSize(), 11);
  EXPECT_EQ(m.Position(), 6) << "GetSize keeps the position";
  char buf[16] = {};
  EXPECT_EQ(m.Read(buf, 16), 5);
  EXPECT_STREQ(buf, "world");
  EXPECT_EQ(m.Read(buf, 16), 0);
  EXPECT_EQ(m.Seek(-5, TSeekOrigin::soEnd), 6);
  EXPECT_THROW(m.Seek(-1, TSeekOrigin::soBeginning), EStreamError);
  m.SetPosition(20);
  m.Write("!", 1);
  EXPECT_EQ(m.GetSize(), 21);
  EXPECT_EQ(m.Memory()[15], 0) << "a gap reads back as zero";
  m.Clear();
  EXPECT_EQ(m.GetSize(), 0);
}

TEST(Streams, FileStreamOpensCreatesAndReportsTheName) {
  TempDir dir;
  const std::string path = dir.File("data.bin");
  try {
    TFileStream missing(path, fmOpenRead);
    FAIL() << "opening a missing file must throw";
  } catch (const EFOpenError& e) {
    EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
    EXPECT_EQ(e.ErrorCode, ENOENT);
  }
  EXPECT_THROW(TFileStream(dir.File("no/such/folder"), fmCreate), EFCreateError);
  {
    TFileStream out(path, fmCreate);
    EXPECT_EQ(out.Write("abcdef", 6), 6);
  }
  TFileStream in(path, fmOpenRead);
  EXPECT_EQ(in.GetSize(), 6);
  char buf[8] = {};
  EXPECT_EQ(in.Read(buf, 8), 6);
  EXPECT_STREQ(buf, "abcdef");
  EXPECT_THROW(in.Write("x", 1), EStreamError) << "a read-only stream refuses writes";
}

TEST(Streams, FileStreamSizesBeyond4GiB) {
  TempDir dir;
  const std::string path = dir.File("sparse.bin");
  TFileStream f(path, fmCreate);
  const std::int64_t far = (std::int64_t{5} << 30) + 3;  // 5 GiB + 3, sparse
  f.SetPosition(far);
  ASSERT_EQ(f.Write("z", 1), 1);
  EXPECT_EQ(f.GetSize(), far + 1);
  EXPECT_EQ(f.Position(), far + 1);
}

TEST(TypedFile, MissingFileRaisesWithErrnoAndName) {
  TempDir dir;
  const std::string path = dir.File("missing.txt");
  TFileRec f;
  Assign(f, path);
  f.Mode = fmOpenRead;
  ResetFile(f, 1);
  try {
    IOTest();
    FAIL() << "IOTest must raise after a failed open";
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.ErrorCode, ENOENT);
    EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find("opening"), std::string::npos) << e.what();
  }
  EXPECT_NO_THROW(IOTest()) << "the error is cleared once raised";
}

TEST(TypedFile, ReadsWritesAndDetectsTheEnd) {
  TempDir dir;
  const std::string path = dir.File("f.bin");
  FileClose(FileCreate(path));
  {
    TFileRec out;
    Assign(out, path);
    out.Mode = fmOpenWrite;
    ResetFile(out, 1);
    IOTest();
    std::int32_t n = 0;
    BlockWrite(out, "0123456789", 10, n);
    IOTest();
    EXPECT_EQ(n, 10);
    Close(out);
    IOTest();
  }
  TFileRec in;
  Assign(in, path);
  in.Mode = fmOpenRead;
  ResetFile(in, 1);
  IOTest();
  EXPECT_EQ(FileSizeOf(in), 10);
  char buf[8];
  std::int32_t n = 0;
  BlockRead(in, buf, 8, n);
  EXPECT_EQ(n, 8);
  EXPECT_FALSE(EofFile(in));
  BlockRead(in, buf, 8, n);
  EXPECT_EQ(n, 2);
  EXPECT_TRUE(EofFile(in));
  IOTest();
  Close(in);
  IOTest();
  Close(in);
  EXPECT_THROW(IOTest(), EInOutError) << "closing a closed file is an error";
}

TEST(TypedFile, FullDiskAndBadNames) {
  TFileRec full;
  Assign(full, "/dev/full");
  full.Mode = fmOpenWrite;
  ResetFile(full, 1);
  IOTest();
  std::int32_t n = -1;
  BlockWrite(full, "data", 4, n);
  try {
    IOTest();
    FAIL() << "writing to a full device must raise";
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.ErrorCode, ENOSPC);
  }
  TFileRec bad;
  EXPECT_THROW(Assign(bad, std::string("a\0b", 3)), EInOutError);
  EXPECT_THROW(Assign(bad, ""), EInOutError);
  EXPECT_EQ(FileCreate(std::string("a\0b", 3)), -1);
}

TEST(TypedFile, RecordClosesItsDescriptorWhenDropped) {
  const int before = testsupport::OpenDescriptorCount();
  {
    TFileRec f;
    Assign(f, "/dev/null");
    ResetFile(f, 1);
    IOTest();
    EXPECT_EQ(testsupport::OpenDescriptorCount(), before + 1);
  }
  EXPECT_EQ(testsupport::OpenDescriptorCount(), before);
}

TEST(SysUtils, IntToHex) {
  struct Case {
    std::uint64_t value;
    int digits;
    const char* expected;
  } cases[] = {{0, 2, "00"},    {0x0F, 2, "0F"},   {0xAB, 2, "AB"},         {255, 2, "FF"},
               {0x1F, 1, "1F"}, {0x1FF, 2, "1FF"}, {0xBEEF, 8, "0000BEEF"}, {0, 0, "0"}};
  for (const Case& c : cases) EXPECT_EQ(IntToHex(c.value, c.digits), c.expected) << c.value;
}

}  // namespace
