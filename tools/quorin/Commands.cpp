#include "Commands.h"

#include <cstdio>
#include <string>

#include "Errors.h"
#include "Files.h"
#include "KeyMaterial.h"
#include "Progress.h"

namespace quorin {
namespace {

void Check(std::int32_t status, const std::string& input) {
  if (status != 0) throw CommandError(StatusMessage(status, input));
}

// Armoured text may come wrapped, with line ends and spaces; none of them is
// in the armour's alphabet, so they are dropped before decoding.
std::string WithoutWhitespace(std::string s) {
  std::erase_if(s, [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; });
  return s;
}

bool ShowProgress(const CipherOptions& o, framework::TStream& in) {
  if (o.progress.has_value()) return *o.progress;
  return ProgressStream::Useful(in.GetSize() - in.Position());
}

int RunBulk(const CipherOptions& o, bool encrypt) {
  const KeyMaterial key = LoadKeyMaterial(o, false);
  Input in(o.input);
  const bool armour = o.armour;
  Output out(o.output, o.outputGiven, o.force, o.input, !encrypt || armour);
  if (armour) {
    auto q = MakeCipher(key, o.mode, Rc6::TStringMode::smEncode);
    std::string result;
    if (encrypt) {
      Check(q->EncryptString(in.ReadAll(), result), in.Name());
      result += '\n';
    } else {
      Check(q->DecryptString(WithoutWhitespace(in.ReadAll()), result), in.Name());
    }
    out.Write(result);
  } else {
    auto q = MakeCipher(key, o.mode, Rc6::TStringMode::smNormal);
    ProgressStream source(in.Stream(), ShowProgress(o, in.Stream()));
    Check(encrypt ? q->EncryptStream(source, out.Stream()) : q->DecryptStream(source, out.Stream()),
          in.Name());
  }
  out.Commit();
  return 0;
}

// Counts and drops what is written to it.
class NullStream : public framework::TStream {
 public:
  std::int32_t Read(void*, std::int32_t) override { return 0; }
  std::int32_t Write(const void*, std::int32_t count) override { return count; }
  std::int64_t Seek(std::int64_t, framework::TSeekOrigin) override { return 0; }
};

}  // namespace

std::string StatusMessage(std::int32_t status, const std::string& input) {
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
      return input +
             " is not whole 16-byte blocks of ciphertext: it was cut short, is not ciphertext, or "
             "is armoured "
             "text (then pass -a)";
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
  const KeyMaterial key = LoadKeyMaterial(o, true);  // without an IV, the standard zero IV
  Input in(o.input);
  Output out(o.output, o.outputGiven, o.force, o.input, true);
  auto q = MakeCipher(key, o.mode, Rc6::TStringMode::smNormal);
  NullStream sink;
  ProgressStream source(in.Stream(), ShowProgress(o, in.Stream()));
  Check(q->EncryptStream(source, sink), in.Name());
  std::string mac;
  Check(q->CBCMACString(mac), in.Name());
  out.Write(mac + "\n");
  out.Commit();
  return 0;
}

int Encode(const CipherOptions& o) {
  Input in(o.input);
  Output out(o.output, o.outputGiven, o.force, o.input, true);
  out.Write(Rc6::TQuorin(nullptr).EncodeString(in.ReadAll()) + "\n");
  out.Commit();
  return 0;
}

int Decode(const CipherOptions& o) {
  Input in(o.input);
  Output out(o.output, o.outputGiven, o.force, o.input, false);
  out.Write(Rc6::TQuorin(nullptr).DecodeString(WithoutWhitespace(in.ReadAll())));
  out.Commit();
  return 0;
}

int Version() {
  std::printf("quorin %s (RC6-32/20; ECB, CBC, CFB, OFB)\n",
              Rc6::TQuorin(nullptr).GetVersion().c_str());
  return 0;
}

}  // namespace quorin
