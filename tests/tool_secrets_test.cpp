// How the quorin tool keeps its key copies: --key-hex leaves the command
// line, key storage is locked in memory, and the process stops being
// dumpable. (Wiping on free is the allocator's explicit_bzero; freed memory
// cannot be read back without undefined behaviour.)
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "KeyMaterial.h"
#include "Secret.h"
#include "TestSupport.h"

namespace {

using testsupport::kLockVisible;
using testsupport::LockedKiB;

// Words as a mutable argv, as main receives it.
struct Argv {
  explicit Argv(std::vector<std::string> words) : storage(std::move(words)) {
    for (auto& s : storage) pointers.push_back(s.data());
  }
  int argc() const { return static_cast<int>(pointers.size()); }
  std::vector<std::string> storage;
  std::vector<char*> pointers;
};

// --key-hex, in either spelling and at every place on the line, leaves the
// command line and means exactly what --key-file would: the same command,
// the same INPUT and OUT, nothing read from a neighbouring word.
TEST(ToolSecrets, KeyHexInEverySpellingAndPlaceParsesAsTheSameCommand) {
  const std::string digits = "00112233445566778899aabbccddeeff";
  struct Line {
    std::vector<std::string> words;
    quorin::Command command;
  };
  const Line lines[] = {
      {{"encrypt", "-m", "ecb", "-o", "out.bin", "in.bin"}, quorin::Command::Encrypt},
      {{"decrypt", "--iv-hex", "00", "-a", "in.bin", "-o", "out.bin"}, quorin::Command::Decrypt},
      {{"mac", "in.bin", "-f", "-o", "out.bin"}, quorin::Command::Mac},
  };
  for (const Line& line : lines) {
    for (std::size_t at = 1; at <= line.words.size(); ++at) {
      // Never between an option and its value: that would change the line.
      if (line.words[at - 1].starts_with("-") && line.words[at - 1] != "-a" &&
          line.words[at - 1] != "-f")
        continue;
      for (const bool joined : {true, false}) {
        std::vector<std::string> words{"quorin"};
        words.insert(words.end(), line.words.begin(), line.words.end());
        const auto place = words.begin() + static_cast<std::ptrdiff_t>(at + 1);
        if (joined)
          words.insert(place, "--key-hex=" + digits);
        else
          words.insert(place, {"--key-hex", digits});
        const std::string shown = testing::PrintToString(words);
        Argv argv(words);
        quorin::CommandLine commandLine;
        ASSERT_TRUE(commandLine.Parse(argv.argc(), argv.pointers.data())) << shown;
        const quorin::ParsedCommandLine& parsed = commandLine.Result();
        EXPECT_EQ(parsed.command, line.command) << shown;
        EXPECT_EQ(parsed.cipher.input, "in.bin") << shown;
        EXPECT_EQ(parsed.cipher.output, "out.bin") << shown;
        EXPECT_TRUE(parsed.cipher.keyHexGiven) << shown;
        EXPECT_EQ(std::string(parsed.cipher.keyHex.begin(), parsed.cipher.keyHex.end()), digits)
            << shown;
        // The digits are gone from argv's own bytes, not just from its pointers.
        for (const std::string& word : argv.storage)
          EXPECT_EQ(word.find(digits), std::string::npos) << shown;
        for (const char* a : argv.pointers) EXPECT_EQ(std::strstr(a, digits.c_str()), nullptr);
      }
    }
  }
}

TEST(ToolSecrets, KeyStorageIsLockedAndTheProcessNotDumpable) {
  const long before = LockedKiB();
  {
    quorin::SecretBytes key(64 * 1024, 0x5A);
    if (kLockVisible && before >= 0) {
      EXPECT_GE(LockedKiB(), before + 60) << "mlock refused here?";
    }
  }
  quorin::ForbidCoreDumps();
  EXPECT_EQ(testsupport::Dumpable(), 0);
}

}  // namespace
