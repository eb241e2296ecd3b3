// Where the sealing library keeps passphrases and keys: every secret buffer
// (the passphrase or key file bytes, the file key, the keys derived from
// them, RC6's round keys) comes from
// libsodium's guarded allocator, which locks it and wipes it when freed, and
// each one is freed again, as the allocator's entry points, interposed on,
// show.
#include <gtest/gtest.h>

#include <map>

#include "SodiumSpy.h"
#include "TestSupport.h"
#include "quorin/framework/MemoryStream.h"
#include "quorin/seal/Seal.h"

namespace {

using namespace quorin::seal;
using testsupport::LiveSodiumAllocations;

std::vector<std::size_t>& allocated = testsupport::SodiumAllocationSizes();

TEST(SealSecrets, EverySecretLivesInWipedMemoryAndIsFreed) {
  const std::string passphrase = "a passphrase of 31 bytes length";
  for (bool usePassphrase : {true, false}) {
    allocated.clear();
    {
      const Secret secret = usePassphrase ? Secret::Passphrase(passphrase)
                                          : Secret::KeyFileBytes(std::vector<std::uint8_t>(48, 9));
      framework::TMemoryStream plain, sealed, opened;
      plain.Write("some plaintext", 14);
      plain.SetPosition(0);
      SealOptions o;
      o.keyBits = 192;
      o.costs = {1, 8192};
      SealStream(plain, sealed, secret, o);
      sealed.SetPosition(0);
      OpenStream(sealed, opened, secret);
      ASSERT_EQ(opened.GetSize(), 14);
    }
    EXPECT_TRUE(LiveSodiumAllocations().empty())
        << LiveSodiumAllocations().size() << " secret buffers were not freed";
    // The secret itself; sealing: the file key, the stanza's wrap key, then
    // opening as well: the payload root, the header MAC, RC6 (24 bytes), tag and
    // IV keys, RC6's round keys (176 bytes) and each worker's one-time tag key.
    const std::vector<std::size_t> payload{32, 32, 24, 32, 32, 176, 32, 32};
    std::vector<std::size_t> expected{usePassphrase ? passphrase.size() : 48u, 32, 32};
    expected.insert(expected.end(), payload.begin(), payload.end());
    expected.insert(expected.end(), {32, 32});  // the wrap key, the file key unwrapped
    expected.insert(expected.end(), payload.begin(), payload.end());
    EXPECT_EQ(allocated, expected);
  }
}

TEST(SealSecrets, ASecretIsLockedInMemory) {
  if (!testsupport::kLockVisible) GTEST_SKIP() << "mlock is a no-op under AddressSanitizer";
  const long before = testsupport::LockedKiB();
  const Secret secret = Secret::Passphrase("locked");
  EXPECT_GE(testsupport::LockedKiB(), before + 4);
}

}  // namespace
