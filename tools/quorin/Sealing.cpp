#include "Sealing.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <optional>
#include <string_view>
#include <vector>

#include "Errors.h"
#include "Files.h"
#include "KeyMaterial.h"
#include "Passphrase.h"
#include "Progress.h"
#include "quorin/framework/Exceptions.h"
#include "quorin/platform/AtomicOutput.h"
#include "quorin/platform/Files.h"
#include "quorin/platform/Random.h"
#include "quorin/platform/SecretMemory.h"
#include "quorin/platform/Wipe.h"
#include "quorin/seal/Seal.h"

namespace quorin {
namespace {

// The tool's input and output as the streams the sealing library reads and writes.
class SourceStream : public framework::TStream {
 public:
  SourceStream(ByteSource& source, Progress& progress) : source_(source), progress_(progress) {}
  std::int32_t Read(void* buffer, std::int32_t count) override {
    if (count <= 0) return 0;
    const std::size_t n =
        source_.Read(static_cast<std::uint8_t*>(buffer), static_cast<std::size_t>(count));
    progress_.Advance(n);
    return static_cast<std::int32_t>(n);
  }
  std::int32_t Write(const void*, std::int32_t) override { return 0; }
  std::int64_t Seek(std::int64_t, framework::TSeekOrigin) override {
    throw framework::EStreamError(0, "the input is read front to back");
  }

 private:
  ByteSource& source_;
  Progress& progress_;
};

class SinkStream : public framework::TStream {
 public:
  explicit SinkStream(ByteSink& sink) : sink_(sink) {}
  std::int32_t Read(void*, std::int32_t) override { return 0; }
  std::int32_t Write(const void* data, std::int32_t count) override {
    if (count <= 0) return 0;
    sink_.Write(static_cast<const std::uint8_t*>(data), static_cast<std::size_t>(count));
    return count;
  }
  std::int64_t Seek(std::int64_t, framework::TSeekOrigin) override {
    throw framework::EStreamError(0, "the output is written front to back");
  }

 private:
  ByteSink& sink_;
};

void RefuseSharedStandardInput(const SealCommandOptions& o) {
  std::vector<const std::string*> files{&o.input, &o.keyFile, &o.passphraseFile};
  for (const std::string& f : o.recipientFiles) files.push_back(&f);
  for (const std::string& f : o.identityFiles) files.push_back(&f);
  quorin::RefuseSharedStandardInput(files);
}

int PassphraseSources(const SealCommandOptions& o) {
  return int{o.prompt} + int{!o.passphraseFile.empty()} + int{!o.passphraseEnv.empty()};
}

// The secrets a command was given, and the view the library takes of them.
struct SecretSet {
  std::vector<seal::Secret> owned;
  std::vector<const seal::Secret*> View() const {
    std::vector<const seal::Secret*> view;
    for (const seal::Secret& s : owned) view.push_back(&s);
    return view;
  }
};

seal::Secret Passphrase(const SealCommandOptions& o, bool sealing) {
  SecretBytes passphrase = !o.passphraseFile.empty()  ? PassphraseFromFile(o.passphraseFile)
                           : !o.passphraseEnv.empty() ? PassphraseFromEnvironment(o.passphraseEnv)
                                                      : PromptPassphrase(sealing);
  return seal::Secret::Passphrase(
      {reinterpret_cast<const char*>(passphrase.data()), passphrase.size()});
}

bool LooksTyped(const SecretBytes& key) {
  return std::all_of(key.begin(), key.end(), [](std::uint8_t c) {
    return (c >= 0x20 && c < 0x7f) || c == '\n' || c == '\r' || c == '\t';
  });
}

seal::Secret KeyFile(const std::string& path) {
  const SecretBytes key = ReadKeyFile(path, "key", seal::kLargestKeyFile);
  if (key.size() < seal::kSmallestKeyFile)
    throw UsageError("the key file '" + path +
                     "' holds fewer than 16 bytes: make one with quorin keygen --raw -o FILE");
  seal::Secret secret = seal::Secret::KeyFileBytes(key);  // refuses printed keys first
  if (LooksTyped(key))
    Note("the key file '" + path +
         "' looks like typed text, which is far weaker than its length suggests; "
         "quorin keygen --raw -o FILE makes a random one");
  return secret;
}

void AddIdentities(const std::string& path, SecretSet& secrets) {
  const SecretBytes text = ReadTextFile(path, "identity", seal::kLargestListFile);
  try {
    for (seal::Secret& id : seal::ParseIdentities(
             {reinterpret_cast<const char*>(text.data()), text.size()}, "'" + path + "'"))
      secrets.owned.push_back(std::move(id));
  } catch (const std::invalid_argument& e) {
    throw UsageError(e.what());
  }
}

std::vector<seal::Recipient> Recipients(const SealCommandOptions& o) {
  std::vector<seal::Recipient> out;
  for (const std::string& r : o.recipients) {
    try {
      out.push_back(seal::Recipient::Parse(r));
    } catch (const std::invalid_argument& e) {
      // An identity given by mistake is secret: it is not repeated.
      const bool secret = seal::LooksLikeIdentity(r);
      throw UsageError(secret ? std::string("-r was given an identity, which is secret: give its "
                                            "recipient (quorin keygen -y FILE prints it)")
                              : "-r '" + r + "': " + e.what());
    }
  }
  for (const std::string& path : o.recipientFiles) {
    const SecretBytes text = ReadTextFile(path, "recipients", seal::kLargestListFile);
    try {
      for (seal::Recipient& r : seal::ParseRecipients(
               {reinterpret_cast<const char*>(text.data()), text.size()}, "'" + path + "'"))
        out.push_back(r);
    } catch (const std::invalid_argument& e) {
      throw UsageError(e.what());
    }
  }
  return out;
}

// Sealing: the recipients, a key file, and a passphrase when one is named
// or nothing else is.
SecretSet SealingSecrets(const SealCommandOptions& o, bool haveRecipients) {
  if (PassphraseSources(o) > 1)
    throw UsageError("give one passphrase: -p, --passphrase-file or --passphrase-env");
  SecretSet set;
  if (!o.keyFile.empty()) set.owned.push_back(KeyFile(o.keyFile));
  if (PassphraseSources(o) == 1 || (set.owned.empty() && !haveRecipients))
    set.owned.push_back(Passphrase(o, true));
  // Every recipient learns the file key, so each can forge for the others.
  if (!set.owned.empty() && haveRecipients)
    Note(
        "whoever holds one of the recipients' identities can read this file and can also "
        "change it undetectably for anyone opening it with the passphrase or key file: it "
        "does not prove that its writer knew them");
  return set;
}

// Opening: whatever was named; with nothing named, the passphrase prompt
// when the file opens with one, else a word on what it needs.
SecretSet OpeningSecrets(const SealCommandOptions& o, const seal::HeaderInfo& header,
                         const std::string& what) {
  if (PassphraseSources(o) > 1)
    throw UsageError("give one passphrase: -p, --passphrase-file or --passphrase-env");
  SecretSet set;
  for (const std::string& path : o.identityFiles) AddIdentities(path, set);
  if (!o.keyFile.empty()) set.owned.push_back(KeyFile(o.keyFile));
  if (PassphraseSources(o) == 1 ||
      (set.owned.empty() && header.Accepts(seal::SecretKind::Passphrase)))
    set.owned.push_back(Passphrase(o, false));
  if (set.owned.empty()) {
    if (header.Accepts(seal::SecretKind::KeyFile))
      throw UsageError(what + " opens with a key file: pass --key-file FILE");
    if (header.Accepts(seal::SecretKind::Identity))
      throw UsageError(what + " opens with an identity: pass -i FILE");
  }
  return set;
}

seal::Costs CostsNamed(const std::string& name) {
  if (name == "interactive") return seal::Costs::Interactive();
  if (name == "sensitive") return seal::Costs::Sensitive();
  return seal::Costs::Moderate();
}

// The library's failures are the command's: exit code 1.
template <class Work>
int Guarded(Work work) {
  try {
    return work();
  } catch (const seal::SecretKindError& e) {
    throw UsageError(e.what());
  } catch (const std::invalid_argument& e) {
    throw UsageError(e.what());
  } catch (const seal::SealError& e) {
    throw CommandError(e.what());
  }
}

}  // namespace

int Seal(const SealCommandOptions& o) {
  return Guarded([&] {
    static const std::map<std::string, seal::Mode> modes{
        {"cbc", seal::Mode::CBC}, {"cfb", seal::Mode::CFB}, {"ofb", seal::Mode::OFB}};
    seal::SealOptions options;
    options.mode = modes.at(o.mode);
    options.keyBits = o.keyBits;
    options.costs = CostsNamed(o.cost);
    options.formatVersion = o.format;
    RefuseSharedStandardInput(o);
    options.recipients = Recipients(o);
    Input in(o.input);
    Output out(o.output, o.outputGiven, o.force, &in,
               o.armour ? ToTerminal::Allowed : ToTerminal::RefusedButArmour);
    const SecretSet secrets = SealingSecrets(o, !options.recipients.empty());
    Progress progress(in.Remaining(), o.progress);
    SourceStream source(in, progress);
    options.armour = o.armour;
    SinkStream sink(out);
    seal::SealStream(source, sink, secrets.View(), options);
    out.Commit();
    return 0;
  });
}

int Open(const SealCommandOptions& o) {
  return Guarded([&] {
    RefuseSharedStandardInput(o);
    Input in(o.input);
    Output out(o.output, o.outputGiven, o.force, &in, ToTerminal::Allowed);
    Progress progress(in.Remaining(), o.progress);
    // Binary or armoured (with mail or other text around it) alike: the library tells.
    SourceStream source(in, progress);
    SinkStream sink(out);
    // The header first: a file that is not sealed is refused before any passphrase is asked for.
    seal::OpenOptions limits;
    limits.maxPasses = o.maxPasses;
    limits.maxMemoryBytes = o.maxMemoryMiB << 20;
    seal::Opener opener(source, limits, in.Name());
    const SecretSet secrets = OpeningSecrets(o, opener.Header(), in.Name());
    opener.OpenTo(sink, secrets.View());
    out.Commit();
    return 0;
  });
}

namespace {

// A new file that appears only complete, through this program's own atomic
// output, whose temporary file a signal removes too. Never replaces
// anything. beforeCommit runs once the file is written and may refuse it
// by throwing: the file then never appears.
template <class BeforeCommit>
void WriteNewSecretFile(const std::string& path, const std::uint8_t* data, std::size_t size,
                        BeforeCommit beforeCommit) {
  const std::string exists = "'" + path + "' exists: a key or identity file is never overwritten";
  if (platform::FactsOfName(path).kind != platform::FileKind::Missing) throw CommandError(exists);
  try {
    platform::AtomicOutput out(path);
    out.Write(data, size);
    beforeCommit();
    out.Commit(platform::Replace::Never);
  } catch (const platform::OutputExists&) {
    throw CommandError(exists);
  } catch (const platform::SystemError& e) {
    throw CommandError(e.what());
  }
}

// keygen -y: the recipients of the identities in INPUT, to OUT.
int PrintRecipients(const SealCommandOptions& o) {
  SecretSet set;
  AddIdentities(o.input, set);
  Output out(o.output, o.outputGiven, o.force, nullptr, ToTerminal::Allowed);
  for (const seal::Secret& id : set.owned) out.Write(seal::Recipient::Of(id).ToString() + "\n");
  out.Commit();
  return 0;
}

}  // namespace

int KeyGen(const SealCommandOptions& o) {
  if (o.printRecipient) {
    if (o.rawKey) throw UsageError("-y prints recipients of identities: --raw has none");
    return PrintRecipients(o);
  }
  if (o.input != "-") throw UsageError("INPUT is for -y: keygen makes a new identity from nothing");
  if (!o.outputGiven || o.output == "-")
    throw UsageError("name the new identity (or key file, with --raw) with -o FILE");
  if (o.rawKey) {
    SecretBytes key(seal::kNewKeyFileBytes);
    platform::RandomBytes(key.data(), key.size());
    WriteNewSecretFile(o.output, key.data(), key.size(), [] {});
    return 0;
  }
  // Standard output is checked first: the recipient printed there is the
  // only way to seal for the new identity without reading its file.
  Output printed("-", false, false, nullptr, ToTerminal::Allowed);
  const seal::Secret identity = seal::Secret::NewIdentity();
  const std::string recipient = seal::Recipient::Of(identity).ToString();
  std::string text = "# a quorin identity: keep this file secret\n# recipient: " + recipient +
                     "\n" + identity.IdentityString() + "\n";
  SecretBytes bytes(text.begin(), text.end());
  platform::Wipe(text.data(), text.size());
  // The identity appears only once its recipient has been printed.
  WriteNewSecretFile(o.output, bytes.data(), bytes.size(), [&] {
    printed.Write(recipient + "\n");
    printed.Commit();
  });
  return 0;
}

}  // namespace quorin
