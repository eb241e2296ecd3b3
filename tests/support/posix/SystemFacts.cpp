#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "SystemFacts.h"

namespace testsupport {

const char* const kNullDevice = "/dev/null";

int OpenDescriptorCount() {
  int n = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator("/proc/self/fd")) ++n;
  return n;
}

long LockedKiB() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmLck:", 0) == 0) return std::stol(line.substr(6));
  return -1;
}

long PeakResidentKiB() {
  rusage usage{};
  return ::getrusage(RUSAGE_SELF, &usage) == 0 ? usage.ru_maxrss : -1;
}

bool IsOwnersOnly(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && (st.st_mode & 0777) == 0600;
}

void SetEnvironment(const char* name, const char* value) {
  if (value != nullptr)
    ::setenv(name, value, 1);
  else
    ::unsetenv(name);
}

unsigned SetUmask(unsigned mask) {
  return static_cast<unsigned>(::umask(static_cast<mode_t>(mask)));
}

bool IsSuperuser() {
  return ::geteuid() == 0;
}

int Dumpable() {
  return ::prctl(PR_GET_DUMPABLE, 0, 0, 0, 0);
}

}  // namespace testsupport
