#include "Sealing.h"

#include <sys/stat.h>

#include <map>

#include "Errors.h"
#include "Files.h"
#include "KeyMaterial.h"
#include "Passphrase.h"
#include "Progress.h"
#include "quorin/framework/Exceptions.h"
#include "quorin/platform/AtomicOutput.h"
#include "quorin/platform/Random.h"
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

int PassphraseSources(const SealCommandOptions& o) {
  return int{o.prompt} + int{!o.passphraseFile.empty()} + int{!o.passphraseEnv.empty()};
}

// The secret the options name; with none named, the kind the file needs
// (a passphrase when sealing), asked for on the terminal.
seal::Secret TakeSecret(const SealCommandOptions& o, seal::SecretKind needed, bool sealing,
                        const std::string& what) {
  const int passphrases = PassphraseSources(o);
  if (passphrases + int{!o.keyFile.empty()} > 1)
    throw UsageError("give one secret: -p, --passphrase-file, --passphrase-env or --key-file");
  if (!o.keyFile.empty() || (passphrases == 0 && needed == seal::SecretKind::KeyFile)) {
    if (o.keyFile.empty())
      throw UsageError(what + " was sealed with a key file: pass --key-file FILE");
    const SecretBytes key = ReadKeyFile(o.keyFile, "key");
    if (key.size() < 16)
      throw UsageError("the key file '" + o.keyFile +
                       "' holds fewer than 16 bytes: make one with quorin keygen -o FILE");
    return seal::Secret::KeyFileBytes(key);
  }
  SecretBytes passphrase = !o.passphraseFile.empty()  ? PassphraseFromFile(o.passphraseFile)
                           : !o.passphraseEnv.empty() ? PassphraseFromEnvironment(o.passphraseEnv)
                                                      : PromptPassphrase(sealing);
  return seal::Secret::Passphrase(
      {reinterpret_cast<const char*>(passphrase.data()), passphrase.size()});
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
    Input in(o.input);
    Output out(o.output, o.outputGiven, o.force, &in, ToTerminal::Refused);
    const seal::Secret secret = TakeSecret(o, seal::SecretKind::Passphrase, true, in.Name());
    Progress progress(in.Remaining(), o.progress);
    SourceStream source(in, progress);
    SinkStream sink(out);
    seal::SealStream(source, sink, secret, options);
    out.Commit();
    return 0;
  });
}

int Open(const SealCommandOptions& o) {
  return Guarded([&] {
    Input in(o.input);
    Output out(o.output, o.outputGiven, o.force, &in, ToTerminal::Allowed);
    Progress progress(in.Remaining(), o.progress);
    SourceStream source(in, progress);
    SinkStream sink(out);
    // The header first: a file that is not sealed is refused before any passphrase is asked for.
    seal::Opener opener(source, {}, in.Name());
    const seal::Secret secret = TakeSecret(o, opener.Header().kind, false, in.Name());
    opener.OpenTo(sink, secret);
    out.Commit();
    return 0;
  });
}

// As seal::WriteNewKeyFile, through this program's own atomic output, whose
// temporary file a signal removes too.
int KeyGen(const SealCommandOptions& o) {
  if (!o.outputGiven || o.output == "-") throw UsageError("name the new key file with -o FILE");
  const std::string exists = "'" + o.output + "' exists: a key file is never overwritten";
  if (struct stat st{}; ::lstat(o.output.c_str(), &st) == 0) throw CommandError(exists);
  SecretBytes key(seal::kNewKeyFileBytes);
  platform::RandomBytes(key.data(), key.size());
  try {
    platform::AtomicOutput out(o.output);
    out.Write(key.data(), key.size());
    out.Commit(platform::Replace::Never);
  } catch (const platform::OutputExists&) {
    throw CommandError(exists);
  } catch (const platform::SystemError& e) {
    throw CommandError(e.what());
  }
  return 0;
}

}  // namespace quorin
