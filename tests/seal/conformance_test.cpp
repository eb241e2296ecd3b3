// The sealed format's conformance vectors (tests/vectors/sealed), opened by
// the library as a stream and pushed in small pieces: each must give what
// its header expects, the plaintext's SHA-256 or the failure's kind.
#include <gtest/gtest.h>
#include <sodium.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "quorin/framework/MemoryStream.h"
#include "quorin/seal/Incremental.h"
#include "quorin/seal/Seal.h"

namespace {

using namespace quorin::seal;
using Bytes = std::vector<std::uint8_t>;

struct Vector {
  std::string name, expect, sha256;
  std::vector<Secret> secrets;
  OpenOptions limits;
  Bytes input;
};

Bytes FromHex(const std::string& hex) {
  Bytes out(hex.size() / 2);
  for (std::size_t i = 0; i < out.size(); ++i)
    out[i] = static_cast<std::uint8_t>(std::stoul(hex.substr(2 * i, 2), nullptr, 16));
  return out;
}

Vector Load(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  const std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::size_t blank = all.find("\n\n");
  Vector v;
  v.name = path.stem().string();
  v.input.assign(all.begin() + static_cast<std::ptrdiff_t>(blank + 2), all.end());
  std::istringstream head(all.substr(0, blank));
  for (std::string line; std::getline(head, line);) {
    const std::size_t colon = line.find(": ");
    if (colon == std::string::npos) continue;
    const std::string key = line.substr(0, colon), value = line.substr(colon + 2);
    if (key == "expect") v.expect = value;
    if (key == "plaintext-sha256") v.sha256 = value;
    if (key == "passphrase") v.secrets.push_back(Secret::Passphrase(value));
    if (key == "passphrase-hex") {
      const Bytes raw = FromHex(value);
      v.secrets.push_back(
          Secret::Passphrase({reinterpret_cast<const char*>(raw.data()), raw.size()}));
    }
    if (key == "key-file") v.secrets.push_back(Secret::KeyFileBytes(FromHex(value)));
    if (key == "identity") v.secrets.push_back(Secret::ParseIdentity(value));
    if (key == "max-passes") v.limits.maxPasses = static_cast<std::uint32_t>(std::stoul(value));
    if (key == "max-memory-mib") v.limits.maxMemoryBytes = std::stoull(value) << 20;
  }
  return v;
}

std::string Sha256(const Bytes& data) {
  unsigned char digest[crypto_hash_sha256_BYTES];
  crypto_hash_sha256(digest, data.data(), data.size());
  char hex[2 * sizeof digest + 1];
  sodium_bin2hex(hex, sizeof hex, digest, sizeof digest);
  return hex;
}

// What opening gave: "success" with the plaintext, or the failure's kind.
template <class Open>
std::string Outcome(Open open, Bytes& plain) {
  try {
    open(plain);
    return "success";
  } catch (const NotSealedError&) {
    return "not-sealed";
  } catch (const BadArmourError&) {
    return "bad-armour";
  } catch (const UnsupportedVersionError&) {
    return "unsupported-version";
  } catch (const CostLimitError&) {
    return "cost-limit";
  } catch (const BadHeaderError&) {
    return "bad-header";
  } catch (const SecretKindError&) {
    return "secret-kind";
  } catch (const AuthenticationError&) {
    return "authentication";
  } catch (const TruncatedError&) {
    return "truncated";
  }
}

std::vector<std::filesystem::path> Vectors() {
  std::vector<std::filesystem::path> all;
  for (const auto& entry : std::filesystem::directory_iterator(QUORIN_VECTORS_DIR))
    if (entry.path().extension() == ".qsv") all.push_back(entry.path());
  std::sort(all.begin(), all.end());
  return all;
}

class Conformance : public testing::TestWithParam<std::filesystem::path> {};

TEST_P(Conformance, EveryFormGivesTheExpectedOutcome) {
  const Vector v = Load(GetParam());
  std::vector<const Secret*> secrets;
  for (const Secret& s : v.secrets) secrets.push_back(&s);

  Bytes streamed;
  const std::string stream = Outcome(
      [&](Bytes& plain) {
        framework::TMemoryStream in, out;
        in.Write(v.input.data(), static_cast<std::int32_t>(v.input.size()));
        in.Seek(0, framework::TSeekOrigin::soBeginning);
        OpenStream(in, out, secrets, v.limits, v.name);
        plain.assign(out.Memory(), out.Memory() + out.GetSize());
      },
      streamed);
  // Pushed in pieces of 7 bytes, which cross every boundary of the format.
  Bytes pushed;
  const std::string push = Outcome(
      [&](Bytes& plain) {
        IncrementalOpener opener(secrets, v.limits, v.name);
        Bytes room;
        for (std::size_t at = 0; at < v.input.size(); at += 7) {
          const std::span piece(v.input.data() + at, std::min<std::size_t>(7, v.input.size() - at));
          room.resize(opener.MostOutput(piece.size()));
          const std::size_t n = opener.Update(piece, room);
          plain.insert(plain.end(), room.begin(), room.begin() + static_cast<std::ptrdiff_t>(n));
        }
        room.resize(opener.MostOutput(0));
        const std::size_t n = opener.Finish(room);
        plain.insert(plain.end(), room.begin(), room.begin() + static_cast<std::ptrdiff_t>(n));
      },
      pushed);
  EXPECT_EQ(stream, v.expect) << "as a stream";
  EXPECT_EQ(push, v.expect) << "pushed";
  if (v.expect == "success") {
    EXPECT_EQ(Sha256(streamed), v.sha256);
    EXPECT_EQ(Sha256(pushed), v.sha256);
  }
}

INSTANTIATE_TEST_SUITE_P(Vectors, Conformance, testing::ValuesIn(Vectors()),
                         [](const testing::TestParamInfo<std::filesystem::path>& param) {
                           std::string name = param.param.stem().string();
                           std::replace(name.begin(), name.end(), '-', '_');
                           return name;
                         });

}  // namespace
