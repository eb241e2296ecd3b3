// Sealed files: round trips, the body against the component's own stream
// encryption, every kind of tampering, the pinned known-answer files, the
// header's cost limits and the handling of secrets.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "Keys.h"
#include "SealCore.h"
#include "TestSupport.h"
#include "quorin/framework/MemoryStream.h"

using namespace quorin::seal;
using testsupport::Bytes;

namespace {

constexpr format::Salt kSalt = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
constexpr format::IV kIV = {0xf0, 0xf1, 0xf2, 0xf3, 0xf4, 0xf5, 0xf6, 0xf7,
                            0xf8, 0xf9, 0xfa, 0xfb, 0xfc, 0xfd, 0xfe, 0xff};
// Argon2id's minimum: the format is under test here, not the hashing.
constexpr Costs kFast{1, 8192};

Secret Passphrase() {
  return Secret::Passphrase("correct horse battery staple");
}
Secret KeyFile() {
  Bytes key(32);
  for (std::size_t i = 0; i < key.size(); ++i) key[i] = static_cast<std::uint8_t>(i);
  return Secret::KeyFileBytes(key);
}

Bytes Contents(framework::TMemoryStream& s) {
  return Bytes(s.Memory(), s.Memory() + s.GetSize());
}
void Load(framework::TMemoryStream& s, const Bytes& data) {
  if (!data.empty()) s.Write(data.data(), static_cast<std::int32_t>(data.size()));
  s.SetPosition(0);
}

Bytes Sealed(const Bytes& plain, const Secret& secret, SealOptions options,
             std::uint32_t chunk = format::kChunkBytes) {
  framework::TMemoryStream in, out;
  Load(in, plain);
  detail::SealStreamWith(in, out, secret, options, kSalt, kIV, chunk);
  return Contents(out);
}

Bytes Opened(const Bytes& sealed, const Secret& secret, const OpenOptions& options = {}) {
  framework::TMemoryStream in, out;
  Load(in, sealed);
  OpenStream(in, out, secret, options, "test");
  return Contents(out);
}

// What the component's stream encryption writes under the sealed file's key and IV.
Bytes ComponentStream(const Bytes& plain, const Secret& secret, const Bytes& sealed) {
  const format::Header h = format::Parse(sealed.data(), sealed.size(), {}, "test");
  const Keys keys = DeriveKeys(secret, h);
  detail::LockedCipher cipher(h, keys.encryption);
  framework::TMemoryStream in, out;
  Load(in, plain);
  EXPECT_EQ(cipher.q->EncryptStream(in, out), 0);
  return Contents(out);
}

Bytes WithoutHeaderAndTags(const Bytes& sealed, std::uint32_t chunk) {
  Bytes body;
  for (std::size_t at = format::kHeaderBytes; at < sealed.size();) {
    const std::size_t n = std::min<std::size_t>(chunk, sealed.size() - at - format::kTagBytes);
    const auto from = sealed.begin() + static_cast<std::ptrdiff_t>(at);
    body.insert(body.end(), from, from + static_cast<std::ptrdiff_t>(n));
    at += n + format::kTagBytes;
  }
  return body;
}

struct RoundTripCase {
  Mode mode;
  int bits;
  bool passphrase;
};

void PrintTo(const RoundTripCase& c, std::ostream* os) {
  *os << static_cast<int>(c.mode) << "/" << c.bits << (c.passphrase ? "/passphrase" : "/key file");
}

class SealRoundTrip : public testing::TestWithParam<RoundTripCase> {};

TEST_P(SealRoundTrip, BodyIsTheComponentsStreamAndOpensToThePlaintext) {
  const auto [mode, bits, passphrase] = GetParam();
  const Secret secret = passphrase ? Passphrase() : KeyFile();
  std::mt19937_64 rng(static_cast<unsigned>(bits) * 7 + static_cast<unsigned>(mode));
  for (std::size_t size : {0u, 1u, 15u, 16u, 17u, 4095u, 4096u, 4097u, (3u << 20) + 5}) {
    // The default chunk, and three blocks so that many chunk boundaries are crossed.
    for (std::uint32_t chunk : {format::kChunkBytes, 48u}) {
      if (chunk == 48 && size > 5000) continue;
      SCOPED_TRACE("size " + std::to_string(size) + ", chunk " + std::to_string(chunk));
      const Bytes plain = testsupport::RandomBytes(rng, size);
      const Bytes sealed = Sealed(plain, secret, {mode, bits, kFast}, chunk);
      const std::size_t body = size / 16 * 16 + 16, chunks = (body + chunk - 1) / chunk;
      ASSERT_EQ(sealed.size(), format::kHeaderBytes + body + chunks * format::kTagBytes);
      EXPECT_EQ(WithoutHeaderAndTags(sealed, chunk), ComponentStream(plain, secret, sealed));
      EXPECT_EQ(Opened(sealed, secret), plain);
      if (chunk == format::kChunkBytes) {  // and once through the file functions
        testsupport::TempDir dir;
        testsupport::WriteFileBytes(dir.File("in"), plain);
        SealFile(dir.File("in"), dir.File("sealed"), secret, {mode, bits, kFast, false});
        OpenFile(dir.File("sealed"), dir.File("out"), secret);
        EXPECT_EQ(testsupport::ReadFileBytes(dir.File("out")), plain);
      }
    }
  }
}

std::vector<RoundTripCase> EveryRoundTrip() {
  std::vector<RoundTripCase> cases;
  for (Mode m : {Mode::CBC, Mode::CFB, Mode::OFB})
    for (int bits : {128, 192, 256})
      for (bool passphrase : {false, true}) cases.push_back({m, bits, passphrase});
  return cases;
}

std::string RoundTripName(const testing::TestParamInfo<RoundTripCase>& info) {
  static const char* const names[] = {"", "CBC", "CFB", "OFB"};
  return std::string(names[static_cast<int>(info.param.mode)]) + std::to_string(info.param.bits) +
         (info.param.passphrase ? "Passphrase" : "KeyFile");
}

INSTANTIATE_TEST_SUITE_P(EveryModeKeySizeAndSecret, SealRoundTrip,
                         testing::ValuesIn(EveryRoundTrip()), RoundTripName);

TEST(Seal, FreshSaltAndIVEachTime) {
  const Secret secret = KeyFile();
  framework::TMemoryStream empty, a, b;
  SealStream(empty, a, secret);
  empty.SetPosition(0);
  SealStream(empty, b, secret);
  const Bytes x = Contents(a), y = Contents(b);
  EXPECT_NE(Bytes(x.begin() + 32, x.begin() + 64), Bytes(y.begin() + 32, y.begin() + 64));
  EXPECT_EQ(Opened(x, secret), Bytes{});
}

// A file whose chunks are 64 bytes: 200 bytes of plaintext make chunks of
// 64, 64, 64 and 16 bytes.
constexpr std::uint32_t kSmallChunk = 64;
constexpr std::size_t kStored = kSmallChunk + format::kTagBytes;

enum class Outcome { NotSealed, Version, BadHeader, Authentication, Truncated, Either };

Outcome Classify(const std::function<void()>& open) {
  try {
    open();
  } catch (const NotSealedError&) {
    return Outcome::NotSealed;
  } catch (const UnsupportedVersionError&) {
    return Outcome::Version;
  } catch (const BadHeaderError&) {
    return Outcome::BadHeader;
  } catch (const AuthenticationError&) {
    return Outcome::Authentication;
  } catch (const TruncatedError&) {
    return Outcome::Truncated;
  }
  ADD_FAILURE() << "opened without complaint";
  return Outcome::Either;
}

struct Tampering {
  std::string what;
  Bytes file;
  Outcome expected;
};

std::vector<Tampering> EveryTampering(const Bytes& good) {
  std::vector<Tampering> cases;
  const auto changed = [&](std::size_t at, std::uint8_t mask) {
    Bytes b = good;
    b[at] ^= mask;
    return b;
  };
  for (std::size_t i = 0; i < format::kHeaderBytes; ++i) {
    // A flipped chunk size that is still whole blocks is caught by the first tag.
    const Outcome o = i < 8                             ? Outcome::NotSealed
                      : i < 10                          ? Outcome::Version
                      : (i >= 16 && i <= 18) || i >= 32 ? Outcome::Authentication
                                                        : Outcome::BadHeader;
    cases.push_back({"header byte " + std::to_string(i), changed(i, 0x80), o});
  }
  for (std::size_t i = format::kHeaderBytes; i < good.size(); ++i)
    cases.push_back({"body byte " + std::to_string(i), changed(i, 0x01), Outcome::Authentication});
  for (std::size_t n = 0; n < good.size(); ++n) {
    // A cut inside a chunk at a block boundary looks like a short last chunk whose tag fails.
    const std::size_t into = (n - format::kHeaderBytes) % kStored;
    const Outcome o = n == 0 ? Outcome::NotSealed
                      : n > format::kHeaderBytes && into != 0 && into % 16 == 0
                          ? Outcome::Either
                          : Outcome::Truncated;
    cases.push_back({"cut to " + std::to_string(n), Bytes(good.data(), good.data() + n), o});
  }
  const auto chunk = [&](std::size_t i) {
    const std::size_t at = format::kHeaderBytes + i * kStored;
    return Bytes(good.data() + at, good.data() + std::min(at + kStored, good.size()));
  };
  const auto joined = [&](std::initializer_list<std::size_t> order) {
    Bytes b(good.begin(), good.begin() + format::kHeaderBytes);
    for (std::size_t i : order) {
      const Bytes c = chunk(i);
      b.insert(b.end(), c.begin(), c.end());
    }
    return b;
  };
  cases.push_back({"chunks swapped", joined({1, 0, 2, 3}), Outcome::Authentication});
  cases.push_back({"chunk dropped", joined({0, 2, 3}), Outcome::Authentication});
  cases.push_back({"chunk repeated", joined({0, 0, 1, 2, 3}), Outcome::Authentication});
  cases.push_back({"last chunk dropped", joined({0, 1, 2}), Outcome::Truncated});
  for (std::size_t extra : {1u, 16u, 100u}) {
    Bytes b = good;
    b.resize(b.size() + extra, 0);
    cases.push_back({std::to_string(extra) + " bytes appended", b, Outcome::Authentication});
  }
  return cases;
}

TEST(SealTamper, EveryChangeIsRefusedAndLeavesNoOutputFile) {
  const Secret secret = KeyFile();
  const Bytes plain(200, 'p');
  const Bytes good = Sealed(plain, secret, {Mode::CBC, 256, kFast}, kSmallChunk);
  ASSERT_EQ(good.size(), format::kHeaderBytes + 208 + 4 * format::kTagBytes);
  testsupport::TempDir dir;
  const std::string in = dir.File("in.qsl"), out = dir.File("out");
  testsupport::WriteFileBytes(in, good);
  OpenFile(in, out, secret);
  EXPECT_EQ(testsupport::ReadFileBytes(out), plain);
  std::filesystem::remove(out);

  for (const Tampering& t : EveryTampering(good)) {
    SCOPED_TRACE(t.what);
    testsupport::WriteFileBytes(in, t.file);
    const Outcome got = Classify([&] { OpenFile(in, out, secret); });
    if (t.expected == Outcome::Either)
      EXPECT_TRUE(got == Outcome::Truncated || got == Outcome::Authentication);
    else
      EXPECT_EQ(got, t.expected);
    EXPECT_FALSE(std::filesystem::exists(out));
  }
}

TEST(SealTamper, MessagesSayWhatAPersonCanDo) {
  const Bytes plain(200, 'p');
  const Bytes good = Sealed(plain, KeyFile(), {Mode::CBC, 256, kFast}, kSmallChunk);
  const auto message = [&](const Bytes& file, const Secret& secret) -> std::string {
    try {
      Opened(file, secret);
    } catch (const SealError& e) {
      return e.what();
    }
    return "opened";
  };
  Bytes otherKey(32, 7);
  EXPECT_EQ(message(good, Secret::KeyFileBytes(otherKey)),
            "cannot open test: the passphrase or key is wrong, or the file was altered or cut "
            "short (a tag does not match)");
  EXPECT_EQ(message(Bytes(good.begin(), good.end() - 48), KeyFile()),
            "test is truncated: its sealed data stops after 3 chunks, before the last chunk");
  Bytes appended = good;
  appended.push_back(0);
  EXPECT_EQ(message(appended, KeyFile()), "test has 1 bytes appended after its sealed data");
  EXPECT_EQ(message(Bytes(good.begin(), good.begin() + 40), KeyFile()),
            "test is truncated: it ends inside its header");
  Bytes plainText(100, 'x');
  EXPECT_NE(message(plainText, KeyFile()).find("is not a sealed file"), std::string::npos);
  EXPECT_EQ(message(good, Passphrase()), "test was sealed with a key file, not a passphrase");
}

// The known-answer files pin the format: fixed secrets, salt and IV. Set
// QUORIN_WRITE_SEALED_KAT=1 to write them anew (only when the format
// deliberately changes, with a new version number).
struct KnownAnswer {
  const char* file;
  bool passphrase;
  SealOptions options;
  std::uint32_t chunk;
};
constexpr KnownAnswer kKnownAnswers[] = {
    {"sealed-keyfile.qsl", false, {Mode::CBC, 256, {}, false}, kSmallChunk},
    {"sealed-passphrase.qsl", true, {Mode::OFB, 128, {2, 65536}, false}, format::kChunkBytes},
};

TEST(SealKnownAnswer, FilesAreReproducedAndOpen) {
  const Bytes plain =
      testsupport::ReadFileBytes(std::string(QUORIN_TEST_DATA_DIR) + "/sealed-kat.txt");
  const Bytes key =
      testsupport::ReadFileBytes(std::string(QUORIN_TEST_DATA_DIR) + "/sealed-kat.key");
  for (const KnownAnswer& k : kKnownAnswers) {
    SCOPED_TRACE(k.file);
    const Secret secret =
        k.passphrase ? Secret::Passphrase("quorin known answer") : Secret::KeyFileBytes(key);
    const std::string path = std::string(QUORIN_TEST_DATA_DIR) + "/" + k.file;
    const Bytes sealed = Sealed(plain, secret, k.options, k.chunk);
    if (std::getenv("QUORIN_WRITE_SEALED_KAT") != nullptr)
      testsupport::WriteFileBytes(path, sealed);
    EXPECT_EQ(testsupport::ToHex(sealed), testsupport::ToHex(testsupport::ReadFileBytes(path)));
    EXPECT_EQ(Opened(testsupport::ReadFileBytes(path), secret), plain);
  }
}

TEST(SealHeader, CostsBeyondTheLimitsAreRefusedBeforeTheSecretIsAsked) {
  struct Case {
    std::uint32_t passes;
    std::uint64_t memory;
    OpenOptions limits;
    bool costLimit;  // else a damaged header
  };
  const OpenOptions defaults;
  const Case cases[] = {
      {33, 8192, defaults, true},
      {3, (std::uint64_t{4} << 30) + 1024, defaults, true},
      {32, std::uint64_t{UINT32_MAX} << 10, defaults, true},  // the most a header can ask
      {1, 2 << 20, {1, 1 << 20, false}, true},
      {2, 8192, {1, 1 << 20, false}, true},
      {0, 8192, defaults, false},
      {1, 4096, defaults, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.passes) + " passes, " + std::to_string(c.memory) + " bytes");
    format::Header h{};
    h.info = {Mode::CBC, 256, SecretKind::Passphrase, {c.passes, c.memory}, format::kChunkBytes};
    const format::HeaderBytes header = format::Encode(h);
    framework::TMemoryStream in;
    Load(in, Bytes(header.begin(), header.end()));
    // The Opener has no secret yet: nothing can have been hashed or allocated for it.
    if (c.costLimit)
      EXPECT_THROW(Opener(in, c.limits, "test"), CostLimitError);
    else
      EXPECT_THROW(Opener(in, c.limits, "test"), BadHeaderError);
  }
}

TEST(SealOptionsAndSecrets, InvalidOnesAreRefused) {
  EXPECT_THROW(Secret::Passphrase(""), std::invalid_argument);
  EXPECT_THROW(Secret::KeyFileBytes(Bytes(15, 1)), std::invalid_argument);
  const Secret secret = Passphrase();
  const SealOptions invalid[] = {
      {Mode{0}, 256, kFast, false},
      {Mode{4}, 256, kFast, false},
      {Mode::CBC, 100, kFast, false},
      {Mode::CBC, 256, {0, 8192}, false},
      {Mode::CBC, 256, {33, 8192}, false},
      {Mode::CBC, 256, {1, 8191}, false},
      {Mode::CBC, 256, {1, (std::uint64_t{4} << 30) + 1024}, false},
  };
  for (const SealOptions& o : invalid) EXPECT_THROW(Sealed({}, secret, o), std::invalid_argument);
}

TEST(SealFiles, OutputsAreNewPrivateFilesAndNeverTheInput) {
  testsupport::TempDir dir;
  const std::string in = dir.File("in"), out = dir.File("out.qsl");
  testsupport::WriteFileBytes(in, Bytes(5000, 'a'));
  const Secret secret = KeyFile();
  SealFile(in, out, secret);
  struct stat st {};
  ASSERT_EQ(::stat(out.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_THROW(SealFile(in, out, secret), FileError);                                // exists
  EXPECT_THROW(SealFile(in, in, secret, {Mode::CBC, 256, kFast, true}), FileError);  // itself
  EXPECT_THROW(SealFile(in, "/dev/null", secret, {Mode::CBC, 256, kFast, true}), FileError);
  EXPECT_THROW(SealFile(dir.File("missing"), dir.File("x"), secret), FileError);
  SealFile(in, out, secret, {Mode::CFB, 128, kFast, true});  // replaced
  OpenFile(out, dir.File("back"), secret);
  EXPECT_EQ(testsupport::ReadFileBytes(dir.File("back")), Bytes(5000, 'a'));
  WriteNewKeyFile(dir.File("k"));
  ASSERT_EQ(::stat(dir.File("k").c_str(), &st), 0);
  EXPECT_EQ(st.st_size, 32);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_THROW(WriteNewKeyFile(dir.File("k")), FileError);
  // Nothing else was left in the folder: no temporary files.
  std::set<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir.Path()))
    names.insert(e.path().filename().string());
  EXPECT_EQ(names, (std::set<std::string>{"in", "out.qsl", "back", "k"}));
}

}  // namespace
