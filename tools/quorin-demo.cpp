// A short tour of the component: keys a TQuorin with each published RC6 test
// key, encrypts the published test block and round-trips a string in CBC.
#include <algorithm>
#include <cstdio>
#include <string>

#include "Rc6.h"
#include "framework/SysUtils.h"

namespace {

struct Vector {
  Rc6::TKeySize size;
  const char* key;
  const char* plain;
  const char* cipher;
};

constexpr Vector kVectors[] = {
    {Rc6::TKeySize::Small128, "0123456789abcdef0112233445566778",
     "02132435465768798a9bacbdcedfe0f1", "524e192f4715c6231f51f6367ea43f18"},
    {Rc6::TKeySize::Med192, "0123456789abcdef0112233445566778899aabbccddeeff0",
     "02132435465768798a9bacbdcedfe0f1", "688329d019e505041e52e92af95291d4"},
    {Rc6::TKeySize::Large256, "0123456789abcdef0112233445566778899aabbccddeeff01032547698badcfe",
     "02132435465768798a9bacbdcedfe0f1", "c8241816f0d7e48920ad16a1674e5d48"},
};

std::string FromHex(const char* hex) {
  std::string out;
  for (const char* p = hex; p[0] != '\0' && p[1] != '\0'; p += 2)
    out += static_cast<char>(std::stoi(std::string(p, 2), nullptr, 16));
  return out;
}

std::string ToHex(const std::uint8_t* data, std::size_t n) {
  std::string out;
  for (std::size_t i = 0; i < n; ++i) out += framework::IntToHex(data[i], 2);
  return out;
}

}  // namespace

int main() {
  Rc6::TQuorin q(nullptr);
  std::printf("TQuorin %s\n", q.GetVersion().c_str());
  int failures = 0;
  for (const Vector& v : kVectors) {
    q.SetKeySize(v.size);
    q.InitialiseString(FromHex(v.key));
    const std::string plain = FromHex(v.plain);
    Rc6::TBlock in{}, out{};
    std::copy(plain.begin(), plain.end(), in.begin());
    q.EncryptBlock(in, out);
    const std::string got = ToHex(out.data(), out.size());
    const std::string expected = FromHex(v.cipher);
    const bool ok =
        std::equal(out.begin(), out.end(), expected.begin(),
                   [](std::uint8_t a, char b) { return a == static_cast<std::uint8_t>(b); });
    failures += ok ? 0 : 1;
    std::printf("%3zu-bit key: %s -> %s %s\n", 8 * (FromHex(v.key).size()), v.plain, got.c_str(),
                ok ? "ok" : "MISMATCH");
  }

  q.SetCipherMode(Rc6::TCipherMode::CBC);
  q.LoadIVString("sixteen byte iv!");
  std::string armoured, back;
  q.EncryptString("Attack at dawn.", armoured);
  q.LoadIVString("sixteen byte iv!");
  q.DecryptString(armoured, back);
  std::printf("CBC, armoured: \"%s\" -> %s -> \"%s\"\n", "Attack at dawn.", armoured.c_str(),
              back.c_str());
  return failures == 0 && back == "Attack at dawn." ? 0 : 1;
}
