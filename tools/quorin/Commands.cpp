#include "Commands.h"

#include <cstdio>
#include <string>

#include "Armour.h"
#include "Errors.h"
#include "Files.h"
#include "KeyMaterial.h"
#include "Progress.h"
#include "Pump.h"

namespace quorin {
namespace {

void Check(std::int32_t status, const std::string& input) {
  if (status != 0) throw CommandError(StatusMessage(status, input));
}

int RunBulk(const CipherOptions& o, bool encrypt) {
  const KeyMaterial key = LoadKeyMaterial(o, false);
  Input in(o.input);
  Output out(o.output, o.outputGiven, o.force, &in, !encrypt || o.armour);
  if (o.armour) {
    auto q = MakeCipher(key, o.mode, Rc6::TStringMode::smEncode);
    if (encrypt) {
      std::string result;
      Check(q->EncryptString(in.ReadAll(), result), in.Name());
      out.Write(FrameArmour(result));
    } else {
      const std::string ciphertext = DecodeArmour(in.ReadAll(), in.Name());
      MemorySource source(ciphertext);
      Progress progress(std::nullopt, false);
      DecryptAll(*q, source, out, progress, in.Name(), true);
    }
  } else {
    auto q = MakeCipher(key, o.mode, Rc6::TStringMode::smNormal);
    Progress progress(in.Remaining(), o.progress);
    if (encrypt)
      EncryptAll(*q, in, out, progress);
    else
      DecryptAll(*q, in, out, progress, in.Name());
  }
  out.Commit();
  return 0;
}

}  // namespace

std::string StatusMessage(std::int32_t status, const std::string& input, bool armoured) {
  switch (status) {
    case -1:
      return "no key was set";
    case -2:
      return "the key is empty";
    case -4:
      return "this mode needs an IV: pass --iv-hex or --iv-file";
    case -5:
      return "the output could not be written completely (disk full?)";
    case -8:
      return input + " is not whole 16-byte blocks of ciphertext: it was cut short" +
             (armoured ? std::string(" or is not ciphertext")
                       : std::string(", is not ciphertext, or is armoured text (then pass -a)"));
    case -9:
      return "decryption of " + input +
             " failed: its padding is invalid. Check the key, -s, -m and the IV";
    case -10:
      return "INPUT and OUT are the same file: write the output to another file";
    case -11:
      return input + " changed or ended while it was read";
  }
  return "the operation failed with status " + std::to_string(status);
}

int Encrypt(const CipherOptions& o) {
  return RunBulk(o, true);
}
int Decrypt(const CipherOptions& o) {
  return RunBulk(o, false);
}

int Mac(const CipherOptions& options) {
  CipherOptions o = options;
  o.mode = Rc6::TCipherMode::CBC;
  // A MAC key must never be the encryption key: mac has a variable of its own.
  o.keyEnv = "QUORIN_MAC_KEY";
  const KeyMaterial key = LoadKeyMaterial(o, true);  // without an IV, the standard zero IV
  Input in(o.input);
  Output out(o.output, o.outputGiven, o.force, &in, true);
  auto q = MakeCipher(key, o.mode, Rc6::TStringMode::smNormal);
  NullSink sink;
  Progress progress(in.Remaining(), o.progress);
  EncryptAll(*q, in, sink, progress);
  std::string mac;
  Check(q->CBCMACString(mac), in.Name());
  out.Write(mac + "\n");
  out.Commit();
  return 0;
}

int Encode(const CipherOptions& o) {
  Input in(o.input);
  Output out(o.output, o.outputGiven, o.force, &in, true);
  out.Write(Rc6::TQuorin(nullptr).EncodeString(in.ReadAll()) + "\n");
  out.Commit();
  return 0;
}

int Decode(const CipherOptions& o) {
  Input in(o.input);
  Output out(o.output, o.outputGiven, o.force, &in, false);
  out.Write(DecodeArmour(in.ReadAll(), in.Name()));
  out.Commit();
  return 0;
}

std::string VersionText() {
  return "quorin " + Rc6::TQuorin(nullptr).GetVersion() + " (RC6-32/20; ECB, CBC, CFB, OFB; " +
         Rc6::KernelName() + " kernel)";
}

int Version() {
  std::printf("%s\n", VersionText().c_str());
  return 0;
}

}  // namespace quorin
