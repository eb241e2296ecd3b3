#include "CommandLine.h"

#include <CLI/CLI.hpp>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <map>
#include <optional>
#include <string_view>

#include "Commands.h"
#include "Errors.h"
#include "Examples.h"
#include "KeyMaterial.h"
#include "Secret.h"
#include "quorin/platform/Wipe.h"

namespace quorin {
namespace {

constexpr const char* kDescription = R"(Encrypts and decrypts with the RC6 block cipher (RC6-32/20).

Sealed files (a passphrase, a key file or public keys; a wrong secret or an
altered file is refused):
  quorin seal -o report.pdf.qsl report.pdf        # asks for a passphrase twice
  quorin open -o report.pdf report.pdf.qsl
  quorin keygen -o me.id                          # prints the recipient quorin1...
  quorin seal -r quorin1... -o data.qsl data      # no secret needed to seal
  quorin open -i me.id -o data data.qsl
  quorin keygen --raw -o my.key                   # 32 random bytes, mode 0600
  quorin seal --key-file my.key < data > data.qsl

The component's raw format, for programs that use it directly:
)";

// After the shell's own lines for a key and an IV (Examples.h).
constexpr const char* kDescriptionEnd =
    R"(  quorin encrypt -m ofb -s 256 --key-file key.bin --iv-file iv.bin < in > out
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

constexpr const char* kSealFooter = R"(
A file is sealed for recipients (-r, -R: public keys from quorin keygen), a
passphrase (asked for on the terminal unless --passphrase-file or
--passphrase-env gives it, or -p with recipients) and a key file (--key-file),
in any mix; any one of them opens it (open -i for an identity). open reads
the mode, key size and costs from the file's header, checks the header and
every chunk's tag before releasing plaintext, and leaves no OUT if any check
fails.)";

// A check whose description --help leaves out: the option's text says it.
CLI::Validator Quiet(CLI::Validator check) {
  check.description("");
  return check;
}

void AddInputOutput(CLI::App* cmd, std::string& input, std::string& output, bool& force) {
  cmd->add_option("INPUT", input, "input file; '-' or none: standard input");
  cmd->add_option("-o,--output", output, "output file; '-': standard output (the default)");
  cmd->add_flag("-f,--force", force, "overwrite an existing output file");
}

void AddProgress(CLI::App* cmd, std::optional<bool>& progress) {
  cmd->add_flag_function(
      "--progress", [&progress](std::int64_t) { progress = true; },
      "always show progress on standard error");
  cmd->add_flag_function(
      "--no-progress", [&progress](std::int64_t) { progress = false; },
      "never show progress (default: shown for inputs of 64 MiB or more when standard error is a "
      "terminal)");
}

constexpr std::string_view kKeyHex = "--key-hex";

void AddKeyOptions(CLI::App* cmd, CipherOptions& o, const bool& secretsTakenOut, bool withMode,
                   bool withKeyEnv = true) {
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
        ->transform(Quiet(CLI::IsMember({"ecb", "cbc", "cfb", "ofb"}, CLI::ignore_case)));
  cmd->add_option("-s,--key-size", o.keyBits,
                  "key size in bits: 128, 192 or 256; default: the key's length if it is 16, 24 or "
                  "32 bytes, else 128. "
                  "Shorter keys are zero-extended, longer ones cut")
      ->check(Quiet(CLI::IsMember({128, 192, 256})));
  cmd->add_option("--key-file", o.keyFile,
                  "read the key from FILE, as raw bytes (a trailing newline counts)");
  if (withKeyEnv)
    cmd->add_option("--key-env", o.keyEnv,
                    "read the key from environment variable NAME (default QUORIN_KEY)");
  // Taken out of argv before parsing, the digits reach the parser as a placeholder.
  cmd->add_option_function<std::string>(
      std::string(kKeyHex),
      [&o, &secretsTakenOut](const std::string& digits) {
        if (secretsTakenOut) return;
        o.keyHex.assign(digits.begin(), digits.end());
        o.keyHexGiven = true;
      },
      "the key in hex on the command line; other users can see it in the process list until "
      "quorin starts");
  cmd->add_option("--iv-hex", o.ivHex, "the IV in hex (16 bytes); needed by cbc, cfb and ofb");
  cmd->add_option("--iv-file", o.ivFile, "read the IV from FILE, as raw bytes");
}

SecretBytes TakeAndWipe(char* value) {
  const std::size_t n = std::strlen(value);
  SecretBytes out(value, value + n);
  platform::Wipe(value, n);
  return out;
}

// An option given with an empty value ('--key-file ""') is a mistake, not a
// request for the default.
void RefuseEmptyValues(const CLI::App* cmd) {
  for (const CLI::Option* opt : cmd->get_options()) {
    if (opt->count() == 0 || opt->get_type_size() == 0) continue;
    for (const std::string& value : opt->results())
      if (value.empty())
        throw UsageError(opt->get_name() + " needs a value; it was given an empty one");
  }
}

}  // namespace

struct CommandLine::Parser {
  CLI::App app{std::string(kDescription) + ShellExamples() + kDescriptionEnd, "quorin"};
  ParsedCommandLine result;
  bool secretsTakenOut = true;
  std::map<const CLI::App*, Command> commands;
  std::optional<CLI::ParseError> stopped;

  Parser() {
    // Before the subcommands are added: they take it over. Every message
    // of the tool starts with its name.
    app.failure_message([](const CLI::App* a, const CLI::Error& e) {
      return "quorin: " + CLI::FailureMessage::simple(a, e);
    });
    app.require_subcommand(1);
    // "/work/in.txt" is a file name, on Windows too; options start with "-" only.
    app.allow_windows_style_options(false);
    app.set_version_flag("--version", VersionText());
    app.get_formatter()->column_width(34);
    AddSealCommands();
    CipherOptions& o = result.cipher;
    auto* encrypt =
        Add(Command::Encrypt, "encrypt", "encrypt INPUT (count-byte padded, no header)");
    auto* decrypt = Add(Command::Decrypt, "decrypt", "decrypt INPUT");
    for (auto* cmd : {encrypt, decrypt}) {
      AddKeyOptions(cmd, o, secretsTakenOut, true);
      cmd->add_flag("-a,--armour,--armor", o.armour,
                    "ciphertext as radix-64 text between BEGIN and END lines");
      AddInputOutput(cmd, o.input, o.output, o.force);
      AddProgress(cmd, o.progress);
      cmd->footer(kCipherFooter);
    }
    auto* mac = Add(Command::Mac, "mac",
                    "CBC-MAC of INPUT as 32 hex digits (zero IV unless one is given); the key "
                    "comes from --key-file, --key-hex or QUORIN_MAC_KEY");
    AddKeyOptions(mac, o, secretsTakenOut, false, false);
    AddInputOutput(mac, o.input, o.output, o.force);
    AddProgress(mac, o.progress);
    auto* encode =
        Add(Command::Encode, "encode", "radix-64 armour of INPUT's bytes, without encryption");
    AddInputOutput(encode, o.input, o.output, o.force);
    auto* decode = Add(Command::Decode, "decode", "the bytes of radix-64 text");
    AddInputOutput(decode, o.input, o.output, o.force);
    Add(Command::SelfTest, "selftest", "check the cipher against the published RC6 vectors");
    Add(Command::Version, "version", "print the version");
    NameValues();
  }

  // What --help shows after each option: the kind of value, not the
  // parser's types (TEXT, UINT) or its checks.
  void NameValues() {
    static const std::map<std::string, std::string> kinds{
        {"INPUT", ""},          {"--output", "FILE"},          {"--key-file", "FILE"},
        {"--iv-file", "FILE"},  {"--passphrase-file", "FILE"}, {"--recipients-file", "FILE"},
        {"--identity", "FILE"}, {"--passphrase-env", "NAME"},  {"--key-env", "NAME"},
        {"--key-hex", "HEX"},   {"--iv-hex", "HEX"},           {"--recipient", "RECIPIENT"},
        {"--max-passes", "N"},  {"--max-memory", "MIB"},       {"--format", "N"},
        {"--mode", "MODE"},     {"--key-size", "BITS"},        {"--cost", "COST"}};
    for (CLI::App* cmd : app.get_subcommands([](CLI::App*) { return true; }))
      for (CLI::Option* opt : cmd->get_options([](CLI::Option*) { return true; })) {
        const auto kind = kinds.find(opt->get_name());
        if (kind != kinds.end()) opt->type_name(kind->second);
      }
  }

  CLI::App* Add(Command command, const char* name, const char* description) {
    CLI::App* cmd = app.add_subcommand(name, description);
    commands[cmd] = command;
    return cmd;
  }

  // Whether the option named (as "--name" or "-n") of cmd takes the next
  // word as its value, whatever that word looks like, as the parser does.
  static bool TakesValue(const CLI::App* cmd, const std::string& name) {
    const CLI::Option* opt = cmd->get_option_no_throw(name);
    return opt != nullptr && opt->get_items_expected_min() > 0;
  }

  // Moves every --key-hex value into result.cipher.keyHex and wipes it in
  // argv, leaving a placeholder in the same word. The words are walked as
  // the parser will read them, so that only a value the parser would give
  // to --key-hex is taken (not a word that is another option's value), and
  // the parser then reads the rest of the line exactly as it would have.
  void TakeSecrets(int argc, char** argv) {
    static char spaced[] = "(hidden)";
    static char joined[] = "--key-hex=(hidden)";
    auto take = [this](char* value) {
      result.cipher.keyHex = TakeAndWipe(value);
      result.cipher.keyHexGiven = true;
    };
    const CLI::App* cmd = &app;
    for (int i = 1; i < argc; ++i) {
      const std::string_view word = argv[i];
      if (word == "--") return;  // the rest is positional
      const bool hasNext = i + 1 < argc;
      if (word.starts_with("--")) {
        // "--name=value", or "--name" (and "--name=") followed by its value.
        const std::size_t eq = word.find('=');
        const bool attached = eq != std::string_view::npos && eq + 1 < word.size();
        const std::string_view name = word.substr(0, eq);
        if (name == kKeyHex) {
          if (attached) {
            take(argv[i] + eq + 1);
            argv[i] = joined;
          } else if (hasNext && argv[i + 1][0] != '\0') {
            take(argv[++i]);
            argv[i] = spaced;
          }
        } else if (!attached && TakesValue(cmd, std::string(name))) {
          ++i;
        }
      } else if (word.size() > 1 && word[0] == '-') {
        // Short options, perhaps grouped ("-fo OUT", "-oOUT"): the first that
        // takes a value ends the group, with the rest of it or the next word.
        for (std::size_t k = 1; k < word.size(); ++k)
          if (TakesValue(cmd, std::string{'-', word[k]})) {
            if (k + 1 == word.size()) ++i;
            break;
          }
      } else if (cmd == &app) {
        for (const auto& [sub, command] : commands)
          if (sub->get_name() == word) cmd = sub;
      }
    }
  }

  void AddSealCommands() {
    SealCommandOptions& s = result.seal;
    auto* seal = Add(Command::Seal, "seal",
                     "seal INPUT for recipients, a passphrase or a key file (recommended)");
    auto* open = Add(Command::Open, "open",
                     "open a sealed file, refusing a wrong secret or an altered file");
    auto* keygen = Add(Command::KeyGen, "keygen",
                       "write a new identity (-o FILE, mode 0600) and print its recipient; -y: "
                       "print the recipient of an identity");
    for (auto* cmd : {seal, open}) {
      cmd->add_flag("-p,--passphrase", s.prompt,
                    "ask for a passphrase on the terminal (the default)");
      cmd->add_option("--passphrase-file", s.passphraseFile,
                      "the passphrase is FILE's first line ('-': standard input)");
      cmd->add_option("--passphrase-env", s.passphraseEnv,
                      "the passphrase is environment variable NAME");
      cmd->add_option("--key-file", s.keyFile,
                      "the key file FILE (16 to 1024 bytes; '-': standard input)");
      AddInputOutput(cmd, s.input, s.output, s.force);
      AddProgress(cmd, s.progress);
      cmd->footer(kSealFooter);
    }
    // One value each time, so that INPUT after -r RECIPIENT stays INPUT.
    seal->add_option("-r,--recipient", s.recipients,
                     "seal for RECIPIENT (quorin1..., from quorin keygen); repeatable")
        ->expected(1)
        ->allow_extra_args(false)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    seal->add_option("-R,--recipients-file", s.recipientFiles,
                     "seal for every recipient in FILE (one a line, # comments; '-': standard "
                     "input); repeatable")
        ->expected(1)
        ->allow_extra_args(false)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    seal->add_option("--format", s.format,
                     "2 (the default), or 1 for older quorin: one passphrase or key file")
        ->check(Quiet(CLI::IsMember({1, 2})));
    seal->add_flag("-a,--armour,--armor", s.armour,
                   "write the sealed file as base64 text between BEGIN and END lines");
    open->add_flag("-a,--armour,--armor", s.armour,
                   "INPUT is base64 text between BEGIN and END lines (told apart without it)");
    open->add_option("--max-passes", s.maxPasses,
                     "open a file whose passphrase hashing asks for up to N passes (default 4)")
        ->check(Quiet(CLI::Range(1, 1 << 20)));
    open->add_option("--max-memory", s.maxMemoryMiB,
                     "open a file whose passphrase hashing asks for up to MIB MiB (default 1024)")
        ->check(Quiet(CLI::Range(1, 1 << 22)));
    open->add_option("-i,--identity", s.identityFiles,
                     "open with the identities in FILE (from quorin keygen; '-': standard input); "
                     "repeatable")
        ->expected(1)
        ->allow_extra_args(false)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    seal->add_option("-m,--mode", s.mode, "chaining mode: cbc (default), cfb or ofb")
        ->transform(Quiet(CLI::IsMember({"cbc", "cfb", "ofb"}, CLI::ignore_case)));
    seal->add_option("-s,--key-size", s.keyBits, "key size in bits: 128, 192 or 256 (default)")
        ->check(Quiet(CLI::IsMember({128, 192, 256})));
    seal->add_option("--cost", s.cost,
                     "passphrase hashing (Argon2id): interactive (64 MiB), moderate (256 MiB, the "
                     "default) or sensitive (1 GiB)")
        ->transform(
            Quiet(CLI::IsMember({"interactive", "moderate", "sensitive"}, CLI::ignore_case)));
    keygen->add_option("-o,--output", s.output,
                       "the new identity (or key file, with --raw); with -y, where the recipient "
                       "goes (default: standard output)");
    keygen->add_flag("--raw", s.rawKey, "write a key file of 32 random bytes instead");
    keygen->add_flag("-y", s.printRecipient,
                     "print the recipient of each identity in INPUT instead of making one");
    keygen->add_option("INPUT", s.input, "with -y: the identity file; '-' or none: standard input");
  }
};

CommandLine::CommandLine() : parser_(std::make_unique<Parser>()) {}
CommandLine::~CommandLine() = default;

bool CommandLine::Parse(int argc, char** argv, Secrets secrets) {
  Parser& p = *parser_;
  p.secretsTakenOut = secrets == Secrets::TakenOut;
  if (p.secretsTakenOut) p.TakeSecrets(argc, argv);
  try {
    p.app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    p.stopped = e;
    return false;
  }
  for (const auto& [cmd, command] : p.commands) {
    if (!*cmd) continue;
    p.result.command = command;
    RefuseEmptyValues(cmd);
    const bool outputGiven =
        cmd->get_option_no_throw("--output") != nullptr && cmd->count("--output") > 0;
    p.result.cipher.outputGiven = p.result.seal.outputGiven = outputGiven;
  }
  return true;
}

int CommandLine::Finish() {
  const int code = parser_->stopped ? parser_->app.exit(*parser_->stopped) : 2;
  // --help and --version must have arrived, as any other output.
  if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
    std::fprintf(stderr, "quorin: cannot write to standard output: %s\n", std::strerror(errno));
    return 1;
  }
  return code == 0 ? 0 : 2;
}

const ParsedCommandLine& CommandLine::Result() const {
  return parser_->result;
}

}  // namespace quorin
