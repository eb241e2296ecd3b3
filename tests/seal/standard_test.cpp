// Sealing through the standard library's types: every form opens what every
// other form seals (and what the framework's streams seal), failures pass
// through as the stream forms throw them, and a failed Open keeps nothing.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <stdexcept>

#include "quorin/framework/MemoryStream.h"
#include "quorin/seal/Standard.h"

namespace {

using namespace quorin::seal;
using Bytes = std::vector<std::uint8_t>;

const Secret& Key() {
  static const Secret key = Secret::KeyFileBytes(Bytes(32, 0x5a));
  return key;
}
const Secret& Me() {
  static const Secret me = Secret::NewIdentity();
  return me;
}
Bytes Text(const std::string& s) {
  return {s.begin(), s.end()};
}

// Gives at most `step` bytes a read, as pipes and sockets do.
class Trickle : public ByteSource {
 public:
  Trickle(std::span<const std::uint8_t> bytes, std::size_t step) : rest_(bytes), step_(step) {}
  std::size_t Read(std::span<std::uint8_t> buffer) override {
    const std::size_t n = std::min({buffer.size(), rest_.size(), step_});
    std::copy_n(rest_.begin(), n, buffer.begin());
    rest_ = rest_.subspan(n);
    return n;
  }

 private:
  std::span<const std::uint8_t> rest_;
  std::size_t step_;
};

class Collect : public ByteSink {
 public:
  void Write(std::span<const std::uint8_t> data) override {
    bytes.insert(bytes.end(), data.begin(), data.end());
  }
  Bytes bytes;
};

Bytes ThroughFrameworkStreams(const Bytes& sealed) {
  framework::TMemoryStream in, out;
  in.Write(sealed.data(), static_cast<std::int32_t>(sealed.size()));
  in.SetPosition(0);
  OpenStream(in, out, Key());
  const auto* p = static_cast<const std::uint8_t*>(out.Memory());
  return {p, p + out.GetSize()};
}

struct Way {
  const char* name;
  std::function<Bytes(const Bytes&)> seal;
};

TEST(StandardSeal, EveryFormOpensWithEveryOther) {
  SealOptions armoured;
  armoured.armour = true;
  const std::vector<Way> ways = {
      {"one secret", [](const Bytes& p) { return Seal(p, Key()); }},
      {"a list",
       [](const Bytes& p) {
         return Seal(p, {Me(), Key()});
       }},
      {"armour", [&](const Bytes& p) { return Seal(p, Key(), armoured); }},
      {"a span",
       [](const Bytes& p) {
         std::vector<Secret> two;
         two.push_back(Key().Copy());
         two.push_back(Me().Copy());
         return Seal(p, two);
       }},
      {"a stream, a byte a read",
       [](const Bytes& p) {
         Trickle source(p, 1);
         Collect sink;
         SealStream(source, sink, {Key()});
         return sink.bytes;
       }},
      {"std::istream to std::ostream",
       [](const Bytes& p) {
         std::istringstream in(std::string(p.begin(), p.end()));
         std::ostringstream out;
         IstreamSource source(in);
         OstreamSink sink(out);
         SealStream(source, sink, {Key()});
         return Text(out.str());
       }},
  };
  for (std::size_t size : {0u, 1u, 65535u, 65536u, 200001u}) {
    Bytes plain(size);
    for (std::size_t i = 0; i < size; ++i) plain[i] = static_cast<std::uint8_t>(i * 7);
    for (const Way& way : ways) {
      SCOPED_TRACE(std::string(way.name) + ", " + std::to_string(size) + " bytes");
      const Bytes sealed = way.seal(plain);
      EXPECT_EQ(Open(sealed, Key()), plain);
      EXPECT_EQ(Open(sealed, {Me(), Key()}), plain);
      EXPECT_EQ(ThroughFrameworkStreams(sealed), plain);
      Trickle source(sealed, 7);
      Collect sink;
      OpenStream(source, sink, {Key()});
      EXPECT_EQ(sink.bytes, plain);
    }
  }
}

TEST(StandardSeal, FailuresPassThroughAndAFailedOpenKeepsNothing) {
  const Bytes sealed = Seal(Text("the plaintext"), Key());
  const Secret other = Secret::KeyFileBytes(Bytes(32, 1));
  EXPECT_THROW(Open(sealed, other), AuthenticationError);
  EXPECT_THROW(Open(sealed, Me()), SecretKindError);
  Bytes altered = sealed;
  altered[altered.size() - 3] ^= 1;
  EXPECT_THROW(Open(altered, Key()), AuthenticationError);
  EXPECT_THROW(Open(Bytes(sealed.begin(), sealed.end() - 1), Key()), TruncatedError);
  EXPECT_THROW(Open(Text("not sealed at all"), Key()), NotSealedError);
  EXPECT_THROW(Seal(Text("x"), SealOptions{}), std::invalid_argument);  // no secret, no recipient

  struct Failing : ByteSource {
    std::size_t Read(std::span<std::uint8_t>) override { throw std::runtime_error("source broke"); }
  } failing;
  Collect sink;
  EXPECT_THROW(SealStream(failing, sink, {Key()}), std::runtime_error);
  struct Full : ByteSink {
    void Write(std::span<const std::uint8_t>) override { throw std::runtime_error("disk full"); }
  } full;
  Trickle source(sealed, 4096);
  EXPECT_THROW(OpenStream(source, full, {Key()}), std::runtime_error);

  std::istringstream in("data");
  in.setstate(std::ios::badbit);
  IstreamSource bad(in);
  EXPECT_THROW(SealStream(bad, sink, {Key()}), std::ios_base::failure);
}

TEST(StandardSeal, RecipientsAloneAndPaths) {
  SealOptions options;
  options.recipients.push_back(Recipient::Of(Me()));
  EXPECT_EQ(Open(Seal(Text("to a recipient"), options), Me()), Text("to a recipient"));

  namespace fs = std::filesystem;
  // A name beyond ASCII: paths reach the library as UTF-8 on every system.
  const fs::path folder = fs::temp_directory_path() / fs::path(u8"quorin-standard-é") /
                          std::to_string(::testing::UnitTest::GetInstance()->random_seed());
  fs::create_directories(folder);
  const fs::path plain = folder / "plain.txt", sealed = folder / "sealed.qsl",
                 opened = folder / "opened.txt";
  std::ofstream(plain, std::ios::binary) << "by path";
  SealFile(plain, sealed, {Key(), Me()});
  OpenFile(sealed, opened, Me());
  {
    std::ifstream back(opened, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(back), {}), "by path");
  }
  EXPECT_THROW(SealFile(plain, sealed, Key()), FileError);  // an existing output is refused
  fs::remove_all(folder.parent_path());
}

}  // namespace
