#include "KeyMaterial.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <optional>

#include "Environment.h"
#include "Errors.h"
#include "quorin/platform/Files.h"
#include "quorin/platform/SecretHex.h"

namespace quorin {
namespace {

std::string Bytes(std::size_t n) {
  return std::to_string(n) + (n == 1 ? " byte" : " bytes");
}

Rc6::TKeySize SizeForBits(int bits) {
  switch (bits) {
    case 192:
      return Rc6::TKeySize::Med192;
    case 256:
      return Rc6::TKeySize::Large256;
    default:
      return Rc6::TKeySize::Small128;
  }
}

}  // namespace

SecretBytes ParseHex(const SecretBytes& hex, const std::string& option) {
  if (hex.empty()) throw UsageError(option + " needs hex digits, two per byte; it was empty");
  if (hex.size() % 2 != 0)
    throw UsageError(option + " takes an even number of hex digits (two per byte), got " +
                     std::to_string(hex.size()));
  platform::HexDecoded decoded =
      platform::DecodeSecretHex({reinterpret_cast<const char*>(hex.data()), hex.size()});
  // The message names the position, not the digits: they may be part of a key.
  if (decoded.badDigit != 0)
    throw UsageError(option + " takes hex digits 0-9 and a-f only; digit " +
                     std::to_string(decoded.badDigit) + " is not one");
  return std::move(decoded.bytes);
}

SecretBytes ReadTextFile(const std::string& path, const std::string& what, std::size_t largest,
                         FileExtent extent) {
  // Room for the mark, which does not count.
  SecretBytes text = ReadKeyFile(path, what, largest + 3, extent);
  const auto begins = [&text](std::initializer_list<std::uint8_t> mark) {
    return text.size() >= mark.size() && std::equal(mark.begin(), mark.end(), text.begin());
  };
  if (begins({0xFF, 0xFE}) || begins({0xFE, 0xFF}) ||
      std::find(text.begin(), text.end(), 0) != text.end())
    throw UsageError("the " + what + " file '" + path +
                     "' is UTF-16 text (as PowerShell 5.1's > writes it), or holds NUL bytes: "
                     "save it as UTF-8");
  if (begins({0xEF, 0xBB, 0xBF})) text.erase(text.begin(), text.begin() + 3);
  if (text.size() > largest)
    throw UsageError(std::string(extent == FileExtent::FirstLine ? "the first line of " : "") +
                     "the " + what + " file '" + path + "' is longer than " + Bytes(largest) +
                     ": is it the right file?");
  return text;
}

void RefuseSharedStandardInput(const std::vector<const std::string*>& files) {
  const auto readers =
      std::count_if(files.begin(), files.end(), [](const std::string* f) { return *f == "-"; });
  if (readers > 1)
    throw UsageError(
        "standard input ('-') can give one thing only: name INPUT, or the key, identity, "
        "recipients or passphrase file, with a file name");
}

SecretBytes ReadKeyFile(const std::string& path, const std::string& what, std::size_t largest,
                        FileExtent extent) {
  const std::string cannotRead = "cannot read the " + what + " file '" + path + "': ";
  const std::string folder = "the " + what + " file '" + path + "' is a folder: name a file";
  // "-" is standard input, which is left open.
  const bool standardInput = path == "-";
  int fd = 0;
  try {
    if (!standardInput) fd = platform::OpenToRead(path);
  } catch (const platform::SystemError& e) {
    if (e.Code() == EISDIR) throw UsageError(folder);
    throw UsageError(cannotRead + platform::SystemErrorText(e.Code()));
  }
  struct Closer {
    int fd;
    bool owned;
    ~Closer() {
      if (owned) platform::CloseFile(fd);
    }
  } const closer{fd, !standardInput};
  try {
    if (platform::FactsOf(fd).kind == platform::FileKind::Folder) throw UsageError(folder);
  } catch (const platform::SystemError&) {
  }
  // Read one byte more than allowed, so that a longer file (or an endless
  // device such as /dev/zero) is recognised without reading it all. A first
  // line ends the reading at its line end: what follows is not waited for
  // (a FIFO whose writer stays open would make that wait forever).
  SecretBytes data(largest + 1);
  std::size_t done = 0;
  bool lineEnded = false;
  while (done < data.size() && !lineEnded) {
    std::ptrdiff_t n;
    try {
      n = static_cast<std::ptrdiff_t>(
          platform::ReadSome(fd, data.data() + done, data.size() - done, "'" + path + "'"));
    } catch (const platform::SystemError& e) {
      throw UsageError(cannotRead + platform::SystemErrorText(e.Code()));
    }
    if (n == 0) break;
    if (extent == FileExtent::FirstLine) {
      const auto from = data.begin() + static_cast<std::ptrdiff_t>(done);
      const auto end = std::find(from, from + n, '\n');
      if (end != from + n) {
        lineEnded = true;
        n = end - from;
      }
    }
    done += static_cast<std::size_t>(n);
  }
  if (done > largest)
    throw UsageError(std::string(extent == FileExtent::FirstLine ? "the first line of " : "") +
                     "the " + what + " file '" + path + "' is longer than " + Bytes(largest) +
                     ": is it the right file?");
  data.resize(done);
  return data;
}

KeyMaterial LoadKeyMaterial(const CipherOptions& o, bool ivOptional) {
  KeyMaterial m;
  RefuseSharedStandardInput({&o.input, &o.keyFile, &o.ivFile});
  if (!o.keyFile.empty() && o.keyHexGiven)
    throw UsageError("give the key once: --key-file or --key-hex, not both");
  if (!o.keyFile.empty()) {
    m.key = ReadKeyFile(o.keyFile, "key");
  } else if (o.keyHexGiven) {
    m.key = ParseHex(o.keyHex, "--key-hex");
  } else if (std::optional<SecretBytes> env = SecretFromEnvironment(o.keyEnv)) {
    m.key = std::move(*env);
  } else {
    throw UsageError("no key: pass --key-file FILE, set the environment variable " + o.keyEnv +
                     ", or pass --key-hex HEX");
  }
  if (m.key.empty())
    throw UsageError("the key is empty: give at least one key byte (16 to 32 are best)");

  const std::size_t len = m.key.size();
  int bits = o.keyBits.value_or(len == 24 ? 192 : len == 32 ? 256 : 128);
  m.keySize = SizeForBits(bits);
  const std::size_t b = static_cast<std::size_t>(bits / 8);
  if (len < b)
    Note("the key is " + Bytes(len) + "; it is extended with zero bytes to " + std::to_string(b) +
         " (-s " + std::to_string(bits) + "). Use a " + std::to_string(b) +
         "-byte key for full strength.");
  else if (len > b)
    Note("the key is " + Bytes(len) + "; only its first " + std::to_string(b) + " are used (-s " +
         std::to_string(bits) + ").");

  if (!o.ivHex.empty() && !o.ivFile.empty())
    throw UsageError("give the IV once: --iv-hex or --iv-file, not both");
  if (!o.ivHex.empty())
    m.iv = ParseHex(SecretBytes(o.ivHex.begin(), o.ivHex.end()), "--iv-hex"), m.hasIV = true;
  if (!o.ivFile.empty()) m.iv = ReadKeyFile(o.ivFile, "IV"), m.hasIV = true;
  if (m.hasIV && m.iv.empty()) throw UsageError("the IV is empty: give 16 bytes");
  if (o.mode == Rc6::TCipherMode::ECB) {
    if (m.hasIV) Note("ECB uses no IV; the IV given is ignored.");
  } else if (!m.hasIV && !ivOptional) {
    throw UsageError(
        "this mode needs an IV: pass --iv-hex HEX (16 bytes, 32 hex digits) or --iv-file FILE, or "
        "use -m ecb");
  } else if (m.hasIV && m.iv.size() < 16) {
    Note("the IV is " + Bytes(m.iv.size()) + "; it is extended with zero bytes to 16.");
  } else if (m.iv.size() > 16) {
    Note("the IV is " + Bytes(m.iv.size()) + "; it is folded onto 16 bytes by XOR.");
  }
  return m;
}

std::unique_ptr<Rc6::TQuorin> MakeCipher(const KeyMaterial& m, Rc6::TCipherMode mode,
                                         Rc6::TStringMode stringMode) {
  auto q = std::make_unique<Rc6::TQuorin>(nullptr);
  platform::LockSecret(q.get(), sizeof(Rc6::TQuorin));  // the round keys and the chain
  q->SetCipherMode(mode);
  q->SetKeySize(m.keySize);
  q->SetStringMode(stringMode);
  if (q->InitialiseByte(m.key, static_cast<std::int32_t>(m.key.size())) != 0)
    throw UsageError("the key is empty");
  // An absent IV loads as all zeros (used by mac only).
  q->LoadIVByte(m.iv, static_cast<std::int32_t>(m.iv.size()));
  return q;
}

}  // namespace quorin
