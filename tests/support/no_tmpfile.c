/* Preloaded into the tool by the command-line tests: open(2) refuses
 * O_TMPFILE as a file system without unnamed files does (vfat, some FUSE and
 * NFS mounts), so that the named temporary files and their clean-up run. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <string.h>

typedef int (*open_fn)(const char*, int, ...);

static int refused_or_next(const char* name, const char* path, int flags, mode_t mode) {
  if ((flags & O_TMPFILE) == O_TMPFILE) {
    errno = EOPNOTSUPP;
    return -1;
  }
  open_fn next;
  void* symbol = dlsym(RTLD_NEXT, name);
  memcpy(&next, &symbol, sizeof next); /* object to function pointer, as POSIX allows */
  return next(path, flags, mode);
}

static mode_t mode_of(int flags, va_list args) {
  return (flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE ? (mode_t)va_arg(args, int) : 0;
}

int open(const char* path, int flags, ...) {
  va_list args;
  va_start(args, flags);
  const mode_t mode = mode_of(flags, args);
  va_end(args);
  return refused_or_next("open", path, flags, mode);
}

int open64(const char* path, int flags, ...) {
  va_list args;
  va_start(args, flags);
  const mode_t mode = mode_of(flags, args);
  va_end(args);
  return refused_or_next("open64", path, flags, mode);
}
