// The WebAssembly module has no file system: its callers hand it bytes and
// streams. Opening an output file fails as a system call would, saying so.
#include "quorin/platform/AtomicOutput.h"

#include <cerrno>

namespace quorin::platform {

OutputExists::OutputExists(const std::string& path)
    : SystemError("cannot move the output into place as '" + path + "'", EEXIST) {}

AtomicOutput::AtomicOutput(const std::string& path) : path_(path) {
  throw SystemError("cannot create '" + path + "' (the WebAssembly build has no files)", ENOSYS);
}

AtomicOutput::~AtomicOutput() {
  static_cast<void>(signalSlot_ + unnamed_);  // the POSIX build's: the same header serves both
}

void AtomicOutput::Write(const void*, std::size_t) {}

void AtomicOutput::Commit(Replace) {}

void AtomicOutput::LinkUnnamedFile(Replace) {}

void CleanUpOnSignals() {}

}  // namespace quorin::platform
