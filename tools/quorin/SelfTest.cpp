// quorin selftest: the published RC6 vectors and a round trip in every mode.
#include <cstdio>
#include <string>

#include "Commands.h"
#include "PublishedVectors.h"
#include "quorin/framework/Classes.h"

namespace quorin {
namespace {

std::string FromHex(std::string_view hex) {
  std::string out;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
    out += static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16));
  return out;
}

Rc6::TBlock ToBlock(const std::string& s) {
  Rc6::TBlock b{};
  for (std::size_t i = 0; i < b.size() && i < s.size(); ++i) b[i] = static_cast<std::uint8_t>(s[i]);
  return b;
}

bool VectorPasses(const PublishedVector& v) {
  Rc6::TQuorin q(nullptr);
  const std::string key = FromHex(v.key);
  q.SetKeySize(key.size() == 24   ? Rc6::TKeySize::Med192
               : key.size() == 32 ? Rc6::TKeySize::Large256
                                  : Rc6::TKeySize::Small128);
  if (q.InitialiseString(key) != 0) return false;
  Rc6::TBlock out{};
  const bool enc =
      q.EncryptBlock(ToBlock(FromHex(v.plain)), out) == 0 && out == ToBlock(FromHex(v.cipher));
  const bool dec =
      q.DecryptBlock(ToBlock(FromHex(v.cipher)), out) == 0 && out == ToBlock(FromHex(v.plain));
  return enc && dec;
}

bool RoundTripPasses(Rc6::TCipherMode mode) {
  std::string plain;
  for (int i = 0; i < 5000; ++i) plain += static_cast<char>(i * 131 % 251);
  for (auto stringMode : {Rc6::TStringMode::smEncode, Rc6::TStringMode::smNormal}) {
    Rc6::TQuorin q(nullptr);
    q.SetCipherMode(mode);
    q.SetKeySize(Rc6::TKeySize::Large256);
    q.SetStringMode(stringMode);
    q.InitialiseString("selftest key, thirty-two bytes!!");
    q.LoadIVString("selftest iv 0123");
    std::string cipher, back;
    if (q.EncryptString(plain, cipher) != 0) return false;
    q.LoadIVString("selftest iv 0123");
    if (q.DecryptString(cipher, back) != 0 || back != plain) return false;
    if (cipher.find(plain.substr(0, 32)) != std::string::npos) return false;
  }
  Rc6::TQuorin q(nullptr);
  q.SetCipherMode(mode);
  q.InitialiseString("selftest key");
  q.LoadIVString("selftest iv");
  framework::TMemoryStream src, mid, back;
  src.Write(plain.data(), static_cast<std::int32_t>(plain.size()));
  src.SetPosition(0);
  if (q.EncryptStream(src, mid) != 0) return false;
  q.LoadIVString("selftest iv");
  mid.SetPosition(0);
  return q.DecryptStream(mid, back) == 0 &&
         back.GetSize() == static_cast<std::int64_t>(plain.size()) &&
         std::string(reinterpret_cast<const char*>(back.Memory()), plain.size()) == plain;
}

}  // namespace

int SelfTest() {
  int passed = 0, failed = 0;
  auto report = [&](bool ok, const std::string& what) {
    std::printf("%s %s\n", ok ? "ok  " : "FAIL", what.c_str());
    (ok ? passed : failed)++;
  };
  for (const PublishedVector& v : kPublishedVectors)
    report(VectorPasses(v), "published vector, " + std::to_string(v.key.size() * 4) + "-bit key " +
                                std::string(v.key.substr(0, 8)) + "...");
  const char* names[] = {"ECB", "CBC", "CFB", "OFB"};
  for (int m = 0; m < 4; ++m)
    report(RoundTripPasses(static_cast<Rc6::TCipherMode>(m)),
           std::string("round trip in ") + names[m]);
  std::printf("selftest: %d passed, %d failed\n", passed, failed);
  return failed == 0 ? 0 : 1;
}

}  // namespace quorin
