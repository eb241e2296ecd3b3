// The file operations where POSIX's rights, umask and devices decide.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

#include "TestSupport.h"
#include "quorin/framework/Classes.h"

using namespace testsupport;
using Rc6::TCipherMode;
using Rc6::TQuorin;

namespace {

std::unique_ptr<TQuorin> Make(TCipherMode mode) {
  auto q = std::make_unique<TQuorin>(nullptr);
  q->SetCipherMode(mode);
  q->SetKeySize(Rc6::TKeySize::Med192);
  q->InitialiseString("posix files key");
  q->LoadIVString("posix iv");
  return q;
}

}  // namespace

TEST(Files, AFullOutputRaisesAndLeaksNothing) {
  TempDir dir;
  WriteFileBytes(dir.File("p"), Bytes(10000, 1));
  auto q = Make(TCipherMode::CBC);
  const int fds = OpenDescriptorCount();
  try {
    q->EncryptFile(dir.File("p"), "/dev/full");
    FAIL() << "expected EInOutError";
  } catch (const framework::EInOutError& e) {
    EXPECT_EQ(e.ErrorCode, ENOSPC);
  }
  EXPECT_EQ(OpenDescriptorCount(), fds);
}

// Outputs may hold plaintext: a new one is its owner's alone, whatever the
// umask; an existing one keeps its rights, as truncation always did.
TEST(Files, NewOutputsAreTheOwnersOnlyAndExistingOnesKeepTheirRights) {
  TempDir dir;
  WriteFileBytes(dir.File("p"), Bytes(100, 7));
  auto q = Make(TCipherMode::ECB);
  const unsigned old = testsupport::SetUmask(022);
  ASSERT_EQ(q->EncryptFile(dir.File("p"), dir.File("c")), 0);
  ASSERT_EQ(q->DecryptFile(dir.File("c"), dir.File("d")), 0);
  WriteFileBytes(dir.File("shared"), {});
  std::filesystem::permissions(dir.File("shared"), std::filesystem::perms(0644));
  ASSERT_EQ(q->DecryptFile(dir.File("c"), dir.File("shared")), 0);
  testsupport::SetUmask(old);
  const auto rights = [&](const char* name) {
    return static_cast<unsigned>(std::filesystem::status(dir.File(name)).permissions());
  };
  EXPECT_EQ(rights("c"), 0600u);
  EXPECT_EQ(rights("d"), 0600u);
  EXPECT_EQ(rights("shared"), 0644u);
}

// The exception still leaves from opening the output, but names the
// creation's error (a refused creation), not the reopening's ENOENT.
TEST(Files, AnOutputThatCannotBeCreatedRaisesTheCreationsError) {
  TempDir dir;
  WriteFileBytes(dir.File("p"), Bytes(100, 7));
  std::string out = dir.File("locked/out");
  std::filesystem::create_directory(dir.File("locked"));
  std::filesystem::permissions(dir.File("locked"), std::filesystem::perms(0500));
  if (testsupport::IsSuperuser())
    out = "/sys/quorin-test-output";  // permissions do not stop root there
  auto q = Make(TCipherMode::ECB);
  const int fds = OpenDescriptorCount();
  try {
    q->EncryptFile(dir.File("p"), out);
    FAIL() << "expected EInOutError";
  } catch (const framework::EInOutError& e) {
    EXPECT_EQ(e.ErrorCode, EACCES) << e.what();
    EXPECT_NE(std::string(e.what()).find("creating"), std::string::npos) << e.what();
  }
  EXPECT_EQ(OpenDescriptorCount(), fds);
  std::filesystem::permissions(dir.File("locked"), std::filesystem::perms(0700));
}
