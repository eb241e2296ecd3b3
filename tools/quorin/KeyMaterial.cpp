#include "KeyMaterial.h"

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "Errors.h"

namespace quorin {
namespace {

std::string Bytes(std::size_t n) {
  return std::to_string(n) + (n == 1 ? " byte" : " bytes");
}

std::string ReadSmallFile(const std::string& path, const std::string& what) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw UsageError("cannot read the " + what + " file '" + path + "': check the path");
  std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (data.size() > 4096)
    throw UsageError("the " + what + " file '" + path +
                     "' is over 4096 bytes: is it the right file?");
  return data;
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

std::string ParseHex(const std::string& hex, const std::string& option) {
  auto digit = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  if (hex.size() % 2 != 0)
    throw UsageError(option + " takes an even number of hex digits (two per byte), got " +
                     std::to_string(hex.size()));
  std::string out;
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    const int hi = digit(hex[i]), lo = digit(hex[i + 1]);
    if (hi < 0 || lo < 0)
      throw UsageError(option + " takes hex digits 0-9 and a-f only, found '" + hex.substr(i, 2) +
                       "'");
    out += static_cast<char>(hi * 16 + lo);
  }
  return out;
}

KeyMaterial LoadKeyMaterial(const CipherOptions& o, bool ivOptional) {
  KeyMaterial m;
  if (!o.keyFile.empty() && !o.keyHex.empty())
    throw UsageError("give the key once: --key-file or --key-hex, not both");
  if (!o.keyFile.empty()) {
    m.key = ReadSmallFile(o.keyFile, "key");
  } else if (!o.keyHex.empty()) {
    m.key = ParseHex(o.keyHex, "--key-hex");
  } else if (const char* env = std::getenv(o.keyEnv.c_str()); env != nullptr) {
    m.key = env;
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
  if (!o.ivHex.empty()) m.iv = ParseHex(o.ivHex, "--iv-hex"), m.hasIV = true;
  if (!o.ivFile.empty()) m.iv = ReadSmallFile(o.ivFile, "IV"), m.hasIV = true;
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
  q->SetCipherMode(mode);
  q->SetKeySize(m.keySize);
  q->SetStringMode(stringMode);
  if (q->InitialiseString(m.key) != 0) throw UsageError("the key is empty");
  q->LoadIVString(m.iv);  // an absent IV loads as all zeros (used by mac only)
  return q;
}

}  // namespace quorin
