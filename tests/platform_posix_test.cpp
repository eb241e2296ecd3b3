// What the platform layer tells of an output's name, which decides whether
// the tool may write there and how; and a descriptor's wait, which another
// thread must be able to end.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <thread>

#include "TestSupport.h"
#include "quorin/platform/Files.h"
#include "quorin/platform/StoppableDescriptor.h"

using namespace testsupport;
using quorin::platform::FileKind;
using quorin::platform::OutputPlace;
namespace fs = std::filesystem;

namespace {

TEST(OutputPlace, EachKindOfNameIsToldAndALinkInAStickyFolderIsNotFollowed) {
  TempDir dir;
  const fs::path root = dir.Path();
  std::ofstream(root / "file") << "data";
  fs::create_directory(root / "folder");
  fs::create_symlink(root / "file", root / "link");
  fs::create_symlink(root / "gone", root / "dangling");
  ASSERT_TRUE(MakeFifo((root / "fifo").string()));
  ASSERT_TRUE(MakeSocketFile((root / "socket").string()));
  fs::create_directory(root / "sticky");
  fs::permissions(root / "sticky", fs::perms::all | fs::perms::sticky_bit);
  fs::create_symlink(root / "file", root / "sticky" / "planted");
  int pipe[2];
  ASSERT_TRUE(MakePipe(pipe));

  const struct {
    std::string name;
    OutputPlace::Kind kind;
    FileKind facts;
  } cases[] = {
      {"missing", OutputPlace::Kind::Missing, FileKind::Missing},
      {"file", OutputPlace::Kind::Regular, FileKind::Regular},
      {"link", OutputPlace::Kind::Regular, FileKind::Regular},         // followed: the file itself
      {"sticky/planted", OutputPlace::Kind::Regular, FileKind::Link},  // the link, not its file
      {"dangling", OutputPlace::Kind::DanglingLink, FileKind::Missing},
      {"folder", OutputPlace::Kind::Folder, FileKind::Other},
      {"fifo", OutputPlace::Kind::Fifo, FileKind::Other},
      {"socket", OutputPlace::Kind::Socket, FileKind::Other},
      {kNullDevice, OutputPlace::Kind::Terminal, FileKind::Other},
      {"/dev/fd/" + std::to_string(pipe[1]), OutputPlace::Kind::AnonymousPipe, FileKind::Other},
  };
  for (const auto& c : cases) {
    const std::string path = c.name.starts_with("/") ? c.name : (root / c.name).string();
    const OutputPlace place(path);
    EXPECT_EQ(place.Is(), c.kind) << c.name;
    EXPECT_EQ(place.Facts().kind, c.facts) << c.name;
    // What the test made is the user's; the null device is root's.
    const bool made = c.name != kNullDevice && c.kind != OutputPlace::Kind::Missing &&
                      c.kind != OutputPlace::Kind::DanglingLink;
    if (made) {
      EXPECT_TRUE(place.OwnedByUser()) << c.name;
    }
  }
  // The followed link and the file are the same file, as an input would see it.
  EXPECT_TRUE(OutputPlace((root / "link").string())
                  .Facts()
                  .SameFileAs(quorin::platform::FactsOfName((root / "file").string())));

  // What is written in place reaches the pipe examined.
  const OutputPlace pipePlace("/dev/fd/" + std::to_string(pipe[1]));
  const int out = pipePlace.OpenInPlace();
  quorin::platform::WriteTo(out, "abc", 3, "the pipe");
  quorin::platform::CloseFile(out);
  char got[3] = {};
  EXPECT_EQ(quorin::platform::ReadSome(pipe[0], got, 3, "the pipe"), 3U);
  EXPECT_EQ(std::string(got, 3), "abc");
  CloseDescriptor(pipe[0]);
  CloseDescriptor(pipe[1]);
}

TEST(StoppableDescriptor, StopEndsAWaitUnderWayAndEveryLaterCall) {
  int pipe[2];
  ASSERT_TRUE(MakePipe(pipe));
  quorin::platform::StoppableDescriptor input(pipe[0]);
  long result = 0;
  int error = 0;
  std::thread reader([&] {
    char byte;
    result = input.ReadSome(&byte, 1);  // nothing is written: it waits
    error = errno;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  input.Stop();
  reader.join();
  EXPECT_EQ(result, -1);
  EXPECT_EQ(error, ECANCELED);
  errno = 0;
  EXPECT_EQ(input.WriteSome("x", 1), -1);
  EXPECT_EQ(errno, ECANCELED);
  CloseDescriptor(pipe[0]);
  CloseDescriptor(pipe[1]);
}

}  // namespace
