// Fault injection for the system calls the framework's file layer makes.
// Linked into a test executable, it interposes open, read, write, lseek,
// stat, fstat and close for the whole process (the shared libraries bind to
// the executable's definitions first). While armed, it counts those calls
// and makes the chosen one fail.
#pragma once

#include <string>

namespace faults {

enum class Kind {
  Error,       // the call fails with the given errno (close still releases the descriptor)
  ShortWrite,  // a write stores half its bytes, then the next write fails with ENOSPC
};

struct Plan {
  int failAt = -1;  // the index of the call to fail, counted from arming
  int error = 0;
  Kind kind = Kind::Error;
};

void Arm(const Plan& plan);
// Disarms and tells whether the fault was injected; callName gets the call's name.
bool Disarm(std::string& callName);
// How many calls were counted since arming.
int CallsSeen();

}  // namespace faults
