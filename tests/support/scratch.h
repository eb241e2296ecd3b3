/* A scratch folder for the C tests, and what they may check of a file's
 * rights, on POSIX and on Windows. */
#ifndef QUORIN_TESTS_SCRATCH_H
#define QUORIN_TESTS_SCRATCH_H

#include <sys/stat.h>

#ifdef _WIN32
#include <direct.h>
#include <io.h>
#include <string.h>

/* Like mkdtemp: the template's XXXXXX made unique, and the folder made. */
static char* make_scratch_folder(char* templ) {
  if (_mktemp_s(templ, strlen(templ) + 1) != 0 || _mkdir(templ) != 0) return NULL;
  return templ;
}
#define unlink _unlink
#define rmdir _rmdir
/* Windows keeps rights in ACLs, which the C++ tests examine. */
#define OWNERS_ONLY(st) ((void)(st), 1)
#else
#include <stdlib.h>
#include <unistd.h>
#define make_scratch_folder mkdtemp
#define OWNERS_ONLY(st) (((st).st_mode & 0777) == 0600)
#endif

#endif
