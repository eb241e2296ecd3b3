/* Keys and secret files held for the length of a query, wiped when it ends
 * (or fails): the copies live in a memory context whose reset wipes them. */
#include "quorin_pg.h"

#include <string.h>

#include "storage/fd.h"
#include "utils/builtins.h"

void quorin_pg_secret_wipe(QuorinSecret* s) {
  if (s->bytes != NULL) {
    explicit_bzero(s->bytes, s->len);
    pfree(s->bytes);
  }
  s->bytes = NULL;
  s->len = 0;
}

void quorin_pg_secret_set(QuorinSecret* s, MemoryContext context, const void* bytes, size_t len) {
  quorin_pg_secret_wipe(s);
  /* one byte more, so that an empty secret still has an address */
  s->bytes = MemoryContextAlloc(context, len + 1);
  memcpy(s->bytes, bytes, len);
  s->len = len;
}

static pg_attribute_noreturn() void file_error(const char* function, const char* path,
                                               const char* step) {
  ereport(ERROR,
          (errcode_for_file_access(), errmsg("%s: could not %s \"%s\": %m", function, step, path)));
}

/* Reads the whole file into buffer (max_len + 1 bytes, so that a longer
 * file shows itself), with the server's own file calls: a file it tracks,
 * closed by an error. A folder cannot be read (EISDIR); a device gives more
 * than a secret file holds. */
static size_t read_file(const char* function, const char* path, uint8* buffer, size_t max_len) {
  size_t len;
  FILE* file = AllocateFile(path, PG_BINARY_R);

  if (file == NULL) file_error(function, path, "open");
  setvbuf(file, NULL, _IONBF, 0); /* no copy of the secret in a stdio buffer */
  len = fread(buffer, 1, max_len + 1, file);
  if (ferror(file)) {
    const int error = errno;

    explicit_bzero(buffer, len);
    FreeFile(file);
    if (error == EISDIR) quorin_pg_refuse(function, "a secret file must be a regular file");
    errno = error;
    file_error(function, path, "read");
  }
  FreeFile(file);
  return len;
}

const QuorinSecret* quorin_pg_secret_file(QuorinSecretFile* cache, MemoryContext context,
                                          const char* function, const text* path_text,
                                          size_t max_len) {
  char* path = text_to_cstring(path_text);
  uint8* buffer;
  size_t len;

  if (cache->path != NULL && strcmp(cache->path, path) == 0) return &cache->secret;
  if (!is_absolute_path(path))
    quorin_pg_refuse(function, "the path of a secret file must be absolute");

  buffer = palloc(max_len + 1);
  len = read_file(function, path, buffer, max_len);
  if (len == 0 || len > max_len) {
    explicit_bzero(buffer, len > max_len ? max_len + 1 : len);
    ereport(ERROR, (errcode(ERRCODE_INVALID_PARAMETER_VALUE),
                    errmsg("%s: the secret file \"%s\" is %s", function, path,
                           len == 0 ? "empty" : "too long"),
                    errdetail("A secret file holds 1 to %zu bytes.", max_len)));
  }
  quorin_pg_secret_set(&cache->secret, context, buffer, len);
  explicit_bzero(buffer, len);
  pfree(buffer);
  if (cache->path != NULL) pfree(cache->path);
  cache->path = MemoryContextStrdup(context, path);
  cache->reads++;
  return &cache->secret;
}
