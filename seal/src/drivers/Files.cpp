// SealFile, OpenFile and WriteNewKeyFile: outputs that exist under their
// name only once they are complete.
#include <utility>

#include "crypto/SecureBuffer.h"
#include "quorin/framework/HandleStream.h"
#include "quorin/platform/AtomicOutput.h"
#include "quorin/platform/Files.h"
#include "quorin/platform/Random.h"
#include "quorin/seal/Seal.h"

namespace quorin::seal {
namespace {

class Descriptor {
 public:
  explicit Descriptor(int fd = -1) : fd_(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (fd_ >= 0) platform::CloseFile(fd_);
  }
  int get() const { return fd_; }

 private:
  int fd_;
};

// The platform's failures as the library's.
template <class Work>
void AsFileErrors(Work work) {
  try {
    work();
  } catch (const platform::SystemError& e) {
    throw FileError(e.what());
  }
}

void CheckDestination(const std::string& path, bool replace, const platform::FileFacts& input) {
  const std::string name = "'" + path + "'";
  const platform::FileFacts target = platform::FactsOfName(path);
  if (target.kind == platform::FileKind::Missing) return;
  if (!replace) throw FileError(name + " exists: choose another name or allow replacing it");
  if (target.kind != platform::FileKind::Regular)
    throw FileError(name + " is not a regular file; write to it with the stream functions");
  if (target.SameFileAs(input))
    throw FileError(name + " is the input file: write the output to another file");
}

template <class Work>
void BetweenFiles(const std::string& source, const std::string& dest, bool replace, Work work) {
  AsFileErrors([&] {
    const Descriptor in(platform::OpenToRead(source));
    const platform::FileFacts facts = platform::FactsOf(in.get());
    if (facts.kind == platform::FileKind::Folder) throw FileError("'" + source + "' is a folder");
    CheckDestination(dest, replace, facts);
    platform::AtomicOutput out(dest);
    framework::THandleStream input(in.get(), "'" + source + "'");
    framework::THandleStream output(out.Descriptor(), "'" + dest + "'");
    work(input, output, "'" + source + "'");
    out.Commit(replace ? platform::Replace::Allowed : platform::Replace::Never);
  });
}

}  // namespace

void WriteNewKeyFile(const std::string& path) {
  const std::string exists = "'" + path + "' exists: a key file is never overwritten";
  if (platform::FactsOfName(path).kind != platform::FileKind::Missing) throw FileError(exists);
  SecureBuffer key(kNewKeyFileBytes);
  platform::RandomBytes(key.data(), key.size());
  try {
    AsFileErrors([&] {
      platform::AtomicOutput out(path);
      out.Write(key.data(), key.size());
      out.Commit(platform::Replace::Never);
    });
  } catch (const FileError&) {
    if (platform::FactsOfName(path).kind != platform::FileKind::Missing)
      throw FileError(exists);  // it appeared meanwhile
    throw;
  }
}

void SealFile(const std::string& source, const std::string& dest, Secrets secrets,
              const SealOptions& options) {
  BetweenFiles(source, dest, options.replaceOutput,
               [&](framework::TStream& in, framework::TStream& out, const std::string&) {
                 SealStream(in, out, secrets, options);
               });
}

void SealFile(const std::string& source, const std::string& dest, const Secret& secret,
              const SealOptions& options) {
  const Secret* one[] = {&secret};
  SealFile(source, dest, one, options);
}

void SealFile(const std::string& source, const std::string& dest, const SealOptions& options) {
  SealFile(source, dest, Secrets{}, options);
}

void OpenFile(const std::string& source, const std::string& dest, Secrets secrets,
              const OpenOptions& options) {
  BetweenFiles(source, dest, options.replaceOutput,
               [&](framework::TStream& in, framework::TStream& out, const std::string& name) {
                 OpenStream(in, out, secrets, options, name);
               });
}

void OpenFile(const std::string& source, const std::string& dest, const Secret& secret,
              const OpenOptions& options) {
  const Secret* one[] = {&secret};
  OpenFile(source, dest, one, options);
}

}  // namespace quorin::seal
