#include "TestSupport.h"

#include <algorithm>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace testsupport {

Bytes FromHex(const std::string& hex) {
  if (hex.size() % 2 != 0) throw std::invalid_argument("odd hex length: " + hex);
  Bytes out;
  out.reserve(hex.size() / 2);
  for (std::size_t i = 0; i < hex.size(); i += 2)
    out.push_back(static_cast<std::uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
  return out;
}

std::string ToHex(const std::uint8_t* data, std::size_t size) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  for (std::size_t i = 0; i < size; ++i) {
    out += kDigits[data[i] >> 4];
    out += kDigits[data[i] & 15];
  }
  return out;
}

std::vector<std::vector<std::string>> ReadDataFile(const std::string& name) {
  const std::string path = std::string(QUORIN_TEST_DATA_DIR) + "/" + name;
  std::ifstream in(path);
  if (!in) throw std::runtime_error("cannot open test data " + path);
  std::vector<std::vector<std::string>> rows;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::vector<std::string> row;
    for (std::string f; fields >> f;) row.push_back(f);
    if (!row.empty()) rows.push_back(std::move(row));
  }
  return rows;
}

Bytes RandomBytes(std::mt19937_64& rng, std::size_t size) {
  Bytes out(size);
  for (auto& b : out) b = static_cast<std::uint8_t>(rng());
  return out;
}

Rc6::TKeySize KeySizeFor(std::size_t keyBytes) {
  switch (keyBytes) {
    case 16:
      return Rc6::TKeySize::Small128;
    case 24:
      return Rc6::TKeySize::Med192;
    case 32:
      return Rc6::TKeySize::Large256;
  }
  throw std::invalid_argument("no KeySize for " + std::to_string(keyBytes) + " bytes");
}

const char* ModeName(Rc6::TCipherMode mode) {
  switch (mode) {
    case Rc6::TCipherMode::ECB:
      return "ECB";
    case Rc6::TCipherMode::CBC:
      return "CBC";
    case Rc6::TCipherMode::CFB:
      return "CFB";
    case Rc6::TCipherMode::OFB:
      return "OFB";
  }
  return "?";
}

Rc6::TCipherMode ModeFromName(const std::string& name) {
  for (Rc6::TCipherMode m : kAllModes)
    if (name == ModeName(m)) return m;
  throw std::invalid_argument("unknown mode " + name);
}

Bytes ChainRegister(Rc6::TQuorin& q) {
  const auto mode = q.CipherMode();
  q.SetCipherMode(Rc6::TCipherMode::CBC);
  Rc6::TBlock mac{};
  const std::int32_t status = q.CBCMACBlock(mac);
  q.SetCipherMode(mode);
  if (status != 0) throw std::logic_error("no key or IV: the chain register cannot be read");
  return Bytes(mac.begin(), mac.end());
}

Bytes ChunkByChunk(Rc6::TQuorin& q, const Bytes& in, bool encrypt) {
  Bytes out;
  std::size_t at = 0;
  do {
    auto n =
        static_cast<std::int32_t>(std::min<std::size_t>(Rc6::TQuorin::ChunkSize, in.size() - at));
    std::copy_n(in.begin() + static_cast<std::ptrdiff_t>(at), n, q.Buffer().begin());
    at += static_cast<std::size_t>(n);
    const bool last = at == in.size();
    if (last && encrypt) {
      const std::int32_t pad = 16 - n % 16;
      std::fill_n(q.Buffer().begin() + n, pad, static_cast<std::uint8_t>(pad));
      n += pad;
    }
    if ((encrypt ? q.EncryptBuffer(n) : q.DecryptBuffer(n)) != 0)
      throw std::logic_error("the work buffer refused a chunk");
    if (last && !encrypt) n -= q.Buffer()[static_cast<std::size_t>(n - 1)];
    out.insert(out.end(), q.Buffer().begin(), q.Buffer().begin() + n);
  } while (at < in.size());
  return out;
}

TempDir::TempDir() {
  std::random_device random;
  for (int tries = 0; tries < 100; ++tries) {
    const auto name = "quorin-test-" + std::to_string(random()) + std::to_string(random());
    path_ = std::filesystem::temp_directory_path() / name;
    if (std::filesystem::create_directory(path_)) return;
  }
  throw std::runtime_error("cannot make a temporary folder");
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

Bytes ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::string& path, const Bytes& data) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

}  // namespace testsupport
