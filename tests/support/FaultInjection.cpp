#include "FaultInjection.h"

#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>

namespace faults {
namespace {

std::atomic<bool> armed{false};
Plan current;
int seen = 0;
bool injected = false;
bool failNextWrite = false;
const char* injectedName = "";

template <class F>
F Next(const char* name) {
  // Casting dlsym's object pointer to a function pointer is what POSIX prescribes.
  return reinterpret_cast<F>(::dlsym(RTLD_NEXT, name));
}

// Whether this call is the one to fail. Counts only while armed.
bool Strike(const char* name) {
  if (!armed.load()) return false;
  if (seen++ != current.failAt) return false;
  injected = true;
  injectedName = name;
  return true;
}

}  // namespace

void Arm(const Plan& plan) {
  current = plan;
  seen = 0;
  injected = false;
  failNextWrite = false;
  armed.store(true);
}

bool Disarm(std::string& callName) {
  armed.store(false);
  callName = injectedName;
  return injected;
}

int CallsSeen() {
  return seen;
}

}  // namespace faults

using faults::Strike;

// Interposers must be visible to the shared libraries, whatever the build's default.
#define INTERPOSE __attribute__((visibility("default")))

extern "C" {

INTERPOSE int open(const char* path, int flags, ...) {
  mode_t mode = 0;
  if ((flags & (O_CREAT | O_TMPFILE)) != 0) {
    va_list ap;
    va_start(ap, flags);
    mode = static_cast<mode_t>(va_arg(ap, unsigned));
    va_end(ap);
  }
  if (Strike("open")) {
    errno = faults::current.error;
    return -1;
  }
  static const auto real = faults::Next<int (*)(const char*, int, ...)>("open");
  return real(path, flags, mode);
}

INTERPOSE ssize_t read(int fd, void* buffer, size_t count) {
  if (Strike("read")) {
    errno = faults::current.error;
    return -1;
  }
  static const auto real = faults::Next<ssize_t (*)(int, void*, size_t)>("read");
  return real(fd, buffer, count);
}

INTERPOSE ssize_t write(int fd, const void* buffer, size_t count) {
  static const auto real = faults::Next<ssize_t (*)(int, const void*, size_t)>("write");
  if (faults::armed.load() && faults::failNextWrite) {
    faults::failNextWrite = false;
    errno = ENOSPC;
    return -1;
  }
  if (Strike("write")) {
    if (faults::current.kind == faults::Kind::ShortWrite && count > 1) {
      faults::failNextWrite = true;
      return real(fd, buffer, count / 2);
    }
    errno = faults::current.error;
    return -1;
  }
  return real(fd, buffer, count);
}

INTERPOSE off_t lseek(int fd, off_t offset, int whence) {
  if (Strike("lseek")) {
    errno = faults::current.error;
    return -1;
  }
  static const auto real = faults::Next<off_t (*)(int, off_t, int)>("lseek");
  return real(fd, offset, whence);
}

INTERPOSE int stat(const char* path, struct stat* st) {
  if (Strike("stat")) {
    errno = faults::current.error;
    return -1;
  }
  static const auto real = faults::Next<int (*)(const char*, struct stat*)>("stat");
  return real(path, st);
}

INTERPOSE int fstat(int fd, struct stat* st) {
  if (Strike("fstat")) {
    errno = faults::current.error;
    return -1;
  }
  static const auto real = faults::Next<int (*)(int, struct stat*)>("fstat");
  return real(fd, st);
}

INTERPOSE int close(int fd) {
  static const auto real = faults::Next<int (*)(int)>("close");
  if (Strike("close")) {
    real(fd);  // Linux releases the descriptor even when close reports an error
    errno = faults::current.error;
    return -1;
  }
  return real(fd);
}

}  // extern "C"
