// Runs the library directly for the command-line tests, so that they can
// compare the tool's output with the component's own.
//   interop_helper encrypt-string MODE KEYHEX IVHEX      stdin -> armoured text (no newline)
//   interop_helper encrypt-file MODE KEYHEX IVHEX IN OUT
//   interop_helper encrypt-stream MODE KEYHEX IVHEX IN OUT   through TFileStreams
//   interop_helper mac KEYHEX IN                         CBC-MAC with a zero IV
#include <cstdio>
#include <iostream>
#include <iterator>
#include <string>

#include "TestSupport.h"

using namespace testsupport;

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() < 3) return 2;
  Rc6::TQuorin q(nullptr);
  const bool mac = args[0] == "mac";
  q.SetCipherMode(mac ? Rc6::TCipherMode::CBC : ModeFromName(args[1]));
  const Bytes key = FromHex(mac ? args[1] : args[2]);
  q.SetKeySize(KeySizeFor(key.size()));
  q.InitialiseByte(key, static_cast<std::int32_t>(key.size()));
  if (mac) {
    q.LoadIVString("");
    std::string data = AsString(ReadFileBytes(args[2])), ignored, hex;
    q.SetStringMode(Rc6::TStringMode::smNormal);
    if (q.EncryptString(data, ignored) != 0 || q.CBCMACString(hex) != 0) return 1;
    std::cout << hex << "\n";
    return 0;
  }
  q.LoadIVString(AsString(FromHex(args[3])));
  if (args[0] == "encrypt-string") {
    const std::string plain((std::istreambuf_iterator<char>(std::cin)),
                            std::istreambuf_iterator<char>());
    std::string out;
    if (q.EncryptString(plain, out) != 0) return 1;
    std::cout << out;
    return 0;
  }
  if (args[0] == "encrypt-file" && args.size() == 6)
    return q.EncryptFile(args[4], args[5]) == 0 ? 0 : 1;
  if (args[0] == "encrypt-stream" && args.size() == 6) {
    framework::TFileStream in(args[4], framework::fmOpenRead);
    framework::TFileStream out(args[5], framework::fmCreate);
    return q.EncryptStream(in, out) == 0 ? 0 : 1;
  }
  return 2;
}
