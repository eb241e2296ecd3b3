#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
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

bool MakeFifo(const std::string& path) {
  return ::mkfifo(path.c_str(), 0600) == 0;
}

bool MakeSocketFile(const std::string& path) {
  sockaddr_un address{};
  if (path.size() >= sizeof address.sun_path) return false;
  address.sun_family = AF_UNIX;
  path.copy(address.sun_path, path.size());
  const int s = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  return s >= 0 && ::bind(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

bool MakePipe(int ends[2]) {
  return ::pipe2(ends, O_CLOEXEC) == 0;
}

void CloseDescriptor(int descriptor) {
  ::close(descriptor);
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
