#include "Commands.h"

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "Armour.h"
#include "Errors.h"
#include "Files.h"
#include "KeyMaterial.h"
#include "Progress.h"
#include "Pump.h"

namespace quorin {
namespace {

constexpr std::int64_t kTwoCoresFrom = std::int64_t{8} << 20;

void Check(std::int32_t status, const std::string& input) {
  if (status != 0) throw CommandError(StatusMessage(status, input));
}

// Copies in to out, in constant memory.
void Pass(ByteSource& in, ByteSink& out) {
  std::vector<std::uint8_t> buffer(1 << 16);
  for (std::size_t n; (n = in.Read(buffer.data(), buffer.size())) > 0;) out.Write(buffer.data(), n);
}

int RunBulk(const CipherOptions& o, bool encrypt) {
  const KeyMaterial key = LoadKeyMaterial(o, false);
  Input in(o.input);
  Output out(o.output, o.outputGiven, o.force, &in,
             !encrypt || o.armour ? ToTerminal::Allowed : ToTerminal::RefusedButArmour);
  // The armour is a stream of its own around the raw ciphertext: the same
  // bytes as EncryptString gives in smEncode, in constant memory.
  auto q = MakeCipher(key, o.mode, Rc6::TStringMode::smNormal);
  // Large inputs (or of a size not known beforehand) in the modes whose
  // blocks do not wait on each other take a second core.
  std::optional<TwoCores> two;
  const bool splits =
      o.mode == Rc6::TCipherMode::ECB ||
      (!encrypt && (o.mode == Rc6::TCipherMode::CBC || o.mode == Rc6::TCipherMode::CFB));
  if (splits && in.Remaining().value_or(kTwoCoresFrom) >= kTwoCoresFrom)
    two.emplace(MakeCipher(key, o.mode, Rc6::TStringMode::smNormal),
                o.mode != Rc6::TCipherMode::ECB);
  TwoCores* both = two ? &*two : nullptr;
  Progress progress(in.Remaining(), o.progress);
  if (encrypt && o.armour) {
    ArmourWriter armour(out, ArmourWriter::Form::Framed);
    EncryptAll(*q, in, armour, progress, both);
    armour.Finish();
  } else if (encrypt) {
    EncryptAll(*q, in, out, progress, both);
  } else if (o.armour) {
    ArmourReader armour(in, in.Name());
    DecryptAll(*q, armour, out, progress, in.Name(), true, both);
  } else {
    DecryptAll(*q, in, out, progress, in.Name(), false, both);
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
  Output out(o.output, o.outputGiven, o.force, &in, ToTerminal::Allowed);
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
  Output out(o.output, o.outputGiven, o.force, &in, ToTerminal::Allowed);
  ArmourWriter armour(out, ArmourWriter::Form::Bare);
  Pass(in, armour);
  armour.Finish();
  out.Commit();
  return 0;
}

int Decode(const CipherOptions& o) {
  Input in(o.input);
  Output out(o.output, o.outputGiven, o.force, &in, ToTerminal::Refused);
  ArmourReader armour(in, in.Name());
  Pass(armour, out);
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
