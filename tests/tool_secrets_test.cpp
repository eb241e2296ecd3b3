// How the quorin tool keeps its key copies: --key-hex leaves the command
// line, key storage is locked in memory, and the process stops being
// dumpable. (Wiping on free is the allocator's explicit_bzero; freed memory
// cannot be read back without undefined behaviour.)
#include <gtest/gtest.h>

#include <sys/prctl.h>

#include <cstring>
#include <fstream>
#include <string>

#include "KeyMaterial.h"
#include "Secret.h"
#include "TestSupport.h"

namespace {

using testsupport::kLockVisible;
using testsupport::LockedKiB;

TEST(ToolSecrets, KeyHexLeavesTheCommandLineInBothSpellings) {
  struct Case {
    std::vector<std::string> args;
    std::size_t valueAt;  // where the digits were
  };
  const Case cases[] = {
      {{"quorin", "encrypt", "--key-hex", "00112233", "in"}, 3},
      {{"quorin", "encrypt", "--key-hex=00112233", "in"}, 2},
  };
  for (const Case& c : cases) {
    std::vector<std::string> storage = c.args;
    std::vector<char*> argv;
    for (auto& s : storage) argv.push_back(s.data());
    quorin::CipherOptions o;
    quorin::TakeSecretOptions(static_cast<int>(argv.size()), argv.data(), o);
    EXPECT_TRUE(o.keyHexGiven);
    EXPECT_EQ(std::string(o.keyHex.begin(), o.keyHex.end()), "00112233");
    // The digits are gone from argv's own bytes, not just from its pointers.
    EXPECT_EQ(storage[c.valueAt].find("00112233"), std::string::npos) << storage[c.valueAt];
    for (const char* a : argv) EXPECT_EQ(std::strstr(a, "00112233"), nullptr);
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
  EXPECT_EQ(::prctl(PR_GET_DUMPABLE, 0, 0, 0, 0), 0);
}

}  // namespace
