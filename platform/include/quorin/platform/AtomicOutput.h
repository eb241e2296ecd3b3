// An output file that appears under its name only once it is complete.
//
// The bytes go to an unnamed file in the destination's folder or, where the
// file system has none, to a randomly named one beside it, readable by its
// owner only. Commit makes them durable and gives them the name; a failure,
// an exception or (with CleanUpOnSignals) a signal leaves neither a partial
// output nor a temporary file. Only SIGKILL, which no process can catch, can
// leave a named temporary file behind.
#pragma once

#include <cstddef>
#include <string>

#include "quorin/platform/SystemError.h"

namespace quorin::platform {

enum class Replace { Never, Allowed };

// Commit found the name taken, without Replace::Allowed.
class OutputExists : public SystemError {
 public:
  explicit OutputExists(const std::string& path);
};

class AtomicOutput {
 public:
  // Creates the file in path's folder. Throws SystemError.
  explicit AtomicOutput(const std::string& path);
  ~AtomicOutput();  // removes the output unless it was committed
  AtomicOutput(const AtomicOutput&) = delete;
  AtomicOutput& operator=(const AtomicOutput&) = delete;

  // The file's descriptor, to write to; it stays owned by this object.
  int Descriptor() const { return fd_; }
  // Writes all of data; throws SystemError.
  void Write(const void* data, std::size_t size);
  // Flushes the data to the disk, then gives the file its name. With
  // Replace::Never, a file that took the name meanwhile is kept and
  // OutputExists thrown. Throws SystemError.
  void Commit(Replace replace);

 private:
  void LinkUnnamedFile(Replace replace);

  std::string path_, temporary_;
  int fd_ = -1;
  int signalSlot_ = -1;
  bool unnamed_ = false;
};

// From now on, a signal that would end the process (INT, TERM, HUP, QUIT,
// PIPE, XFSZ, USR1, USR2, ALRM, VTALRM, PROF) first removes the named
// temporary files of the AtomicOutputs alive; a signal the process started
// with ignored stays ignored. For programs, not libraries: it sets the
// process's signal dispositions.
void CleanUpOnSignals();

}  // namespace quorin::platform
