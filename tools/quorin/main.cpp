// quorin: encrypt and decrypt files, streams and text with RC6 from the command line.
#include <CLI/CLI.hpp>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <map>

#include "Commands.h"
#include "Errors.h"
#include "Files.h"
#include "KeyMaterial.h"
#include "Secret.h"
#if defined(QUORIN_WITH_SEAL)
#include "Sealing.h"
#endif

namespace {

using quorin::CipherOptions;

constexpr const char* kDescription = R"(Encrypts and decrypts with the RC6 block cipher (RC6-32/20).

Sealed files (a passphrase or a key file; a wrong one or an altered file is refused):
  quorin seal -o report.pdf.qsl report.pdf        # asks for a passphrase twice
  quorin open -o report.pdf report.pdf.qsl
  quorin keygen -o my.key                         # 32 random bytes, mode 0600
  quorin seal --key-file my.key < data > data.qsl

The component's raw format, for programs that use it directly:
  export QUORIN_KEY='a key of 16 to 32 bytes'   # or --key-file FILE
  IV=000102030405060708090a0b0c0d0e0f           # a fresh IV for every message
  quorin encrypt --iv-hex $IV -o report.pdf.rc6 report.pdf
  quorin decrypt --iv-hex $IV -o report.pdf report.pdf.rc6
  echo 'meet at noon' | quorin encrypt -a --iv-hex $IV > note.txt
  quorin decrypt -a --iv-hex $IV note.txt
  quorin encrypt -m ofb -s 256 --key-file key.bin --iv-file iv.bin < in > out
  quorin mac --key-file key.bin data.bin          # CBC-MAC, 32 hex digits
  quorin encode < bytes.bin > text.txt            # radix-64 armour only
  quorin selftest

Raw ciphertext has no header: decrypt with the same key, -s, -m and IV.
Exit codes: 0 success, 1 the operation failed, 2 usage error.
)";

constexpr const char* kCipherFooter = R"(
Examples:
  quorin encrypt --key-file key.bin --iv-hex 000102030405060708090a0b0c0d0e0f -o out.rc6 in.dat
  quorin decrypt --key-file key.bin --iv-hex 000102030405060708090a0b0c0d0e0f -o in.dat out.rc6
  quorin encrypt -a -m ecb --key-file key.bin < message.txt

The key comes from --key-file, --key-hex or the environment (QUORIN_KEY).
The output replaces OUT only when the command succeeds; -f allows replacing
an existing OUT. Raw ciphertext is not written to a terminal unless -o - asks.)";

void AddInputOutput(CLI::App* cmd, CipherOptions& o) {
  cmd->add_option("INPUT", o.input, "input file; '-' or none: standard input");
  cmd->add_option("-o,--output", o.output, "output file; '-': standard output (the default)");
  cmd->add_flag("-f,--force", o.force, "overwrite an existing output file");
}

void AddKeyOptions(CLI::App* cmd, CipherOptions& o, bool withMode, bool withKeyEnv = true) {
  if (withMode)
    cmd->add_option_function<std::string>(
           "-m,--mode",
           [&o](const std::string& name) {
             static const std::map<std::string, Rc6::TCipherMode> modes{
                 {"ecb", Rc6::TCipherMode::ECB},
                 {"cbc", Rc6::TCipherMode::CBC},
                 {"cfb", Rc6::TCipherMode::CFB},
                 {"ofb", Rc6::TCipherMode::OFB}};
             o.mode = modes.at(name);
           },
           "chaining mode: ecb, cbc (default), cfb or ofb")
        ->transform(CLI::IsMember({"ecb", "cbc", "cfb", "ofb"}, CLI::ignore_case));
  cmd->add_option("-s,--key-size", o.keyBits,
                  "key size in bits: 128, 192 or 256; default: the key's length if it is 16, 24 or "
                  "32 bytes, else 128. "
                  "Shorter keys are zero-extended, longer ones cut")
      ->check(CLI::IsMember({128, 192, 256}));
  cmd->add_option("--key-file", o.keyFile,
                  "read the key from FILE, as raw bytes (a trailing newline counts)");
  if (withKeyEnv)
    cmd->add_option("--key-env", o.keyEnv,
                    "read the key from environment variable NAME (default QUORIN_KEY)");
  // The digits themselves were taken out of argv before parsing (TakeSecretOptions); the parser
  // sees a placeholder.
  cmd->add_option("--key-hex",
                  "the key in hex on the command line; other users can see it in the "
                  "process list until quorin starts");
  cmd->add_option("--iv-hex", o.ivHex, "the IV in hex (16 bytes); needed by cbc, cfb and ofb");
  cmd->add_option("--iv-file", o.ivFile, "read the IV from FILE, as raw bytes");
}

void AddProgress(CLI::App* cmd, CipherOptions& o) {
  cmd->add_flag_function(
      "--progress", [&o](std::int64_t) { o.progress = true; },
      "always show progress on standard error");
  cmd->add_flag_function(
      "--no-progress", [&o](std::int64_t) { o.progress = false; },
      "never show progress (default: shown for inputs of 64 MiB or more when standard error is a "
      "terminal)");
}

// An option given with an empty value ('--key-file ""') is a mistake, not a
// request for the default.
void RefuseEmptyValues(const CLI::App* cmd) {
  for (const CLI::Option* opt : cmd->get_options()) {
    if (opt->count() == 0 || opt->get_type_size() == 0) continue;
    for (const std::string& value : opt->results())
      if (value.empty())
        throw quorin::UsageError(opt->get_name() + " needs a value; it was given an empty one");
  }
}

// Output written through stdio (version, selftest) must have arrived.
int CheckStandardOutput(int code) {
  if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
    std::fprintf(stderr, "quorin: cannot write to standard output: %s\n", std::strerror(errno));
    return 1;
  }
  return code;
}

#if defined(QUORIN_WITH_SEAL)
constexpr const char* kSealFooter = R"(
The secret is a passphrase (asked for on the terminal unless --passphrase-file
or --passphrase-env gives it) or a key file (--key-file; quorin keygen makes
one). open reads the mode, key size and costs from the file's header, checks
every chunk's tag before releasing its plaintext, and leaves no OUT if any
check fails.)";

struct SealCommands {
  CLI::App *seal, *open, *keygen;
};

SealCommands AddSealCommands(CLI::App& app, quorin::SealCommandOptions& s) {
  auto* seal =
      app.add_subcommand("seal", "seal INPUT under a passphrase or key file (recommended)");
  auto* open =
      app.add_subcommand("open", "open a sealed file, refusing a wrong secret or an altered file");
  auto* keygen = app.add_subcommand("keygen", "write a new 32-byte key file (-o FILE, mode 0600)");
  for (auto* cmd : {seal, open}) {
    cmd->add_flag("-p,--passphrase", s.prompt,
                  "ask for a passphrase on the terminal (the default)");
    cmd->add_option("--passphrase-file", s.passphraseFile, "the passphrase is FILE's first line");
    cmd->add_option("--passphrase-env", s.passphraseEnv,
                    "the passphrase is environment variable NAME");
    cmd->add_option("--key-file", s.keyFile, "use the key file FILE instead of a passphrase");
    cmd->add_option("INPUT", s.input, "input file; '-' or none: standard input");
    cmd->add_option("-o,--output", s.output, "output file; '-': standard output (the default)");
    cmd->add_flag("-f,--force", s.force, "overwrite an existing output file");
    cmd->add_flag_function(
        "--progress", [&s](std::int64_t) { s.progress = true; }, "always show progress");
    cmd->add_flag_function(
        "--no-progress", [&s](std::int64_t) { s.progress = false; }, "never show progress");
    cmd->footer(kSealFooter);
  }
  seal->add_option("-m,--mode", s.mode, "chaining mode: cbc (default), cfb or ofb")
      ->transform(CLI::IsMember({"cbc", "cfb", "ofb"}, CLI::ignore_case));
  seal->add_option("-s,--key-size", s.keyBits, "key size in bits: 128, 192 or 256 (default)")
      ->check(CLI::IsMember({128, 192, 256}));
  seal->add_option("--cost", s.cost,
                   "passphrase hashing (Argon2id): interactive (64 MiB), moderate (256 MiB, the "
                   "default) or sensitive (1 GiB)")
      ->transform(CLI::IsMember({"interactive", "moderate", "sensitive"}, CLI::ignore_case));
  keygen->add_option("-o,--output", s.output, "the new key file")->required();
  return {seal, open, keygen};
}
#endif

}  // namespace

static int Run(int argc, char** argv) {
  CLI::App app{kDescription, "quorin"};
  app.require_subcommand(1);
  app.set_version_flag("--version", quorin::VersionText());
  app.get_formatter()->column_width(34);
  CipherOptions o;
#if defined(QUORIN_WITH_SEAL)
  quorin::SealCommandOptions sealOptions;
  const SealCommands sealing = AddSealCommands(app, sealOptions);
#endif

  auto* encrypt = app.add_subcommand("encrypt", "encrypt INPUT (count-byte padded, no header)");
  auto* decrypt = app.add_subcommand("decrypt", "decrypt INPUT");
  for (auto* cmd : {encrypt, decrypt}) {
    AddKeyOptions(cmd, o, true);
    cmd->add_flag("-a,--armour,--armor", o.armour,
                  "ciphertext as radix-64 text (read whole into memory)");
    AddInputOutput(cmd, o);
    AddProgress(cmd, o);
    cmd->footer(kCipherFooter);
  }
  auto* mac = app.add_subcommand("mac",
                                 "CBC-MAC of INPUT as 32 hex digits (zero IV unless one is given); "
                                 "the key comes from --key-file, --key-hex or QUORIN_MAC_KEY");
  AddKeyOptions(mac, o, false, false);
  AddInputOutput(mac, o);
  AddProgress(mac, o);
  auto* encode =
      app.add_subcommand("encode", "radix-64 armour of INPUT's bytes, without encryption");
  AddInputOutput(encode, o);
  auto* decode = app.add_subcommand("decode", "the bytes of radix-64 text");
  AddInputOutput(decode, o);
  auto* selftest =
      app.add_subcommand("selftest", "check the cipher against the published RC6 vectors");
  auto* version = app.add_subcommand("version", "print the version");

  quorin::TakeSecretOptions(argc, argv, o);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e) == 0 ? 0 : 2;
  }

  try {
    for (auto* cmd : {encrypt, decrypt, mac, encode, decode}) {
      if (cmd->count("--output") > 0) o.outputGiven = true;
      if (*cmd) RefuseEmptyValues(cmd);
    }
#if defined(QUORIN_WITH_SEAL)
    for (auto* cmd : {sealing.seal, sealing.open, sealing.keygen}) {
      if (!*cmd) continue;
      RefuseEmptyValues(cmd);
      sealOptions.outputGiven = cmd->count("--output") > 0;
      if (cmd == sealing.seal) return quorin::Seal(sealOptions);
      if (cmd == sealing.open) return quorin::Open(sealOptions);
      return quorin::KeyGen(sealOptions);
    }
#endif
    if (*encrypt) return quorin::Encrypt(o);
    if (*decrypt) return quorin::Decrypt(o);
    if (*mac) return quorin::Mac(o);
    if (*encode) return quorin::Encode(o);
    if (*decode) return quorin::Decode(o);
    if (*selftest) return CheckStandardOutput(quorin::SelfTest());
    if (*version) return CheckStandardOutput(quorin::Version());
  } catch (const quorin::UsageError& e) {
    std::fprintf(stderr, "quorin: %s\n", e.what());
    return 2;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "quorin: %s\n", e.what());
    return 1;
  }
  return 2;
}

int main(int argc, char** argv) {
  quorin::SecureStandardDescriptors();
  // Keys pass through this process: keep them out of core dumps.
  quorin::ForbidCoreDumps();
  try {
    return Run(argc, argv);
  } catch (const std::exception& e) {  // anything the command line library itself throws
    std::fprintf(stderr, "quorin: %s\n", e.what());
    return 1;
  }
}
