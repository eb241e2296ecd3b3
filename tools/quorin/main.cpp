// quorin: encrypt and decrypt files, streams and text with RC6 from the command line.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

#include "Arguments.h"
#include "CommandLine.h"
#include "Commands.h"
#include "Errors.h"
#include "Files.h"
#include "Sealing.h"
#include "Secret.h"
#include "quorin/platform/AtomicOutput.h"

namespace {

// Output written through stdio (version, selftest) must have arrived.
int CheckStandardOutput(int code) {
  if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
    std::fprintf(stderr, "quorin: cannot write to standard output: %s\n", std::strerror(errno));
    return 1;
  }
  return code;
}

int RunCommand(const quorin::ParsedCommandLine& line) {
  using quorin::Command;
  switch (line.command) {
    case Command::Encrypt:
      return quorin::Encrypt(line.cipher);
    case Command::Decrypt:
      return quorin::Decrypt(line.cipher);
    case Command::Mac:
      return quorin::Mac(line.cipher);
    case Command::Encode:
      return quorin::Encode(line.cipher);
    case Command::Decode:
      return quorin::Decode(line.cipher);
    case Command::Seal:
      return quorin::Seal(line.seal);
    case Command::Open:
      return quorin::Open(line.seal);
    case Command::KeyGen:
      return quorin::KeyGen(line.seal);
    case Command::SelfTest:
      return CheckStandardOutput(quorin::SelfTest());
    case Command::Version:
      return CheckStandardOutput(quorin::Version());
    default:
      return 2;
  }
}

int Run(int argc, char** argv) {
  try {
    quorin::CommandLine commandLine;
    if (!commandLine.Parse(argc, argv)) return commandLine.Finish();
    return RunCommand(commandLine.Result());
  } catch (const quorin::UsageError& e) {
    std::fprintf(stderr, "quorin: %s\n", e.what());
    return 2;
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "quorin: out of memory\n");
    return 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "quorin: %s\n", e.what());
    return 1;
  }
}

}  // namespace

int main(int argc, char** argv) {
  quorin::SecureStandardDescriptors();
  // Keys pass through this process: keep them out of core dumps.
  quorin::ForbidCoreDumps();
  // A signal must not leave a temporary output behind.
  quorin::platform::CleanUpOnSignals();
  quorin::Arguments arguments(argc, argv);
  return Run(arguments.Count(), arguments.Values());
}
