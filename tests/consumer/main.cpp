// Round trip through the installed component; built once per package.
#include <cstdio>
#include <string>

#include <quorin/Rc6.h>

int main() {
  Rc6::TQuorin q(nullptr);
  q.SetCipherMode(Rc6::TCipherMode::CBC);
  q.SetKeySize(Rc6::TKeySize::Large256);
  q.InitialiseString("a key of thirty-two bytes, exact");
  q.LoadIVString("an IV of 16 byte");
  std::string cipher, plain;
  if (q.EncryptString("installed and working", cipher) != 0) return 1;
  q.LoadIVString("an IV of 16 byte");
  if (q.DecryptString(cipher, plain) != 0 || plain != "installed and working") return 1;
  std::printf("TQuorin %s: %s -> %s -> %s\n", q.GetVersion().c_str(), "installed and working",
              cipher.c_str(), plain.c_str());
  return 0;
}
