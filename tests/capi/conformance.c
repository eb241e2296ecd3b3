/* The sealed format's conformance vectors through the C interface: each
 * file in the folder given opened from a buffer and pushed in pieces of 7
 * bytes, with the outcome its header expects.
 * Usage: capi_conformance VECTORS_DIR */
#define _POSIX_C_SOURCE 200809L
#include <dirent.h>
#include <sodium.h>
#include <stdlib.h>
#include <string.h>

#include "check.h"
#include "quorin/quorin.h"

typedef struct {
  char expect[32], sha256[65];
  quorin_secrets* secrets;
  quorin_open_options limits;
  uint8_t* input;
  size_t size;
} vector;

static const char* kind_of(int status) {
  switch (status) {
    case QUORIN_OK:
      return "success";
    case QUORIN_NOT_SEALED:
      return "not-sealed";
    case QUORIN_BAD_ARMOUR:
      return "bad-armour";
    case QUORIN_UNSUPPORTED_VERSION:
      return "unsupported-version";
    case QUORIN_BAD_HEADER:
      return "bad-header";
    case QUORIN_COST_LIMIT:
      return "cost-limit";
    case QUORIN_SECRET_KIND:
      return "secret-kind";
    case QUORIN_AUTHENTICATION:
      return "authentication";
    case QUORIN_TRUNCATED:
      return "truncated";
    default:
      return quorin_status_name(status);
  }
}

static size_t from_hex(const char* hex, uint8_t* out) {
  size_t n = 0;
  for (; hex[0] && hex[1]; hex += 2) {
    unsigned v;
    sscanf(hex, "%2x", &v);
    out[n++] = (uint8_t)v;
  }
  return n;
}

/* Reads a vector; 0 when it cannot be read. */
static int load(const char* path, vector* v) {
  FILE* f = fopen(path, "rb");
  if (f == NULL) return 0;
  fseek(f, 0, SEEK_END);
  const long length = ftell(f);
  fseek(f, 0, SEEK_SET);
  char* all = malloc((size_t)length + 1);
  const size_t got = fread(all, 1, (size_t)length, f);
  fclose(f);
  all[got] = '\0';
  char* blank = strstr(all, "\n\n");
  *blank = '\0';
  v->size = got - (size_t)(blank + 2 - all);
  v->input = malloc(v->size + 1);
  memcpy(v->input, blank + 2, v->size);
  v->secrets = quorin_secrets_new();
  quorin_open_options_default(&v->limits);
  static uint8_t raw[4096];
  for (char* line = strtok(all, "\n"); line != NULL; line = strtok(NULL, "\n")) {
    char* value = strstr(line, ": ");
    if (value == NULL) continue;
    *value = '\0';
    value += 2;
    if (strcmp(line, "expect") == 0) snprintf(v->expect, sizeof v->expect, "%s", value);
    if (strcmp(line, "plaintext-sha256") == 0) snprintf(v->sha256, sizeof v->sha256, "%s", value);
    if (strcmp(line, "passphrase") == 0)
      CHECK(quorin_secrets_add_passphrase(v->secrets, (const uint8_t*)value, strlen(value)) == 0);
    if (strcmp(line, "passphrase-hex") == 0)
      CHECK(quorin_secrets_add_passphrase(v->secrets, raw, from_hex(value, raw)) == 0);
    if (strcmp(line, "key-file") == 0)
      CHECK(quorin_secrets_add_key_file(v->secrets, raw, from_hex(value, raw)) == 0);
    if (strcmp(line, "identity") == 0)
      CHECK(quorin_secrets_add_identity(v->secrets, value, strlen(value)) == 0);
    if (strcmp(line, "max-passes") == 0) v->limits.max_passes = (uint32_t)strtoul(value, NULL, 10);
    if (strcmp(line, "max-memory-mib") == 0)
      v->limits.max_memory_bytes = (uint64_t)strtoull(value, NULL, 10) << 20;
  }
  free(all);
  return 1;
}

static void hex_sha256(const uint8_t* data, size_t size, char out[65]) {
  unsigned char digest[crypto_hash_sha256_BYTES];
  crypto_hash_sha256(digest, data, size);
  sodium_bin2hex(out, 65, digest, sizeof digest);
}

static void expect(const char* name, const char* form, const vector* v, int status,
                   const uint8_t* plain, size_t size) {
  char digest[65] = "";
  if (status == QUORIN_OK) hex_sha256(plain, size, digest);
  const int ok = strcmp(kind_of(status), v->expect) == 0 &&
                 (status != QUORIN_OK || strcmp(digest, v->sha256) == 0);
  CHECK(ok);
  if (!ok)
    fprintf(stderr, "  %s (%s): %s expected, got %s: %s\n", name, form, v->expect, kind_of(status),
            status == 0 ? "another plaintext" : quorin_last_error());
}

/* The pushed opener, 7 bytes at a time; the plaintext in *plain. */
static int pushed(const vector* v, uint8_t** plain, size_t* size) {
  quorin_opener* o = NULL;
  int status = quorin_opener_new(v->secrets, &v->limits, &o);
  uint8_t* room = malloc(v->size + 4096); /* the room asked for never exceeds what came in */
  size_t written = 0;
  *plain = malloc(v->size + 64);
  *size = 0;
  for (size_t at = 0; status == QUORIN_OK && at < v->size; at += 7) {
    const size_t n = v->size - at < 7 ? v->size - at : 7;
    status = quorin_opener_update(o, v->input + at, n, room, quorin_opener_room(o, n), &written);
    if (status == QUORIN_OK) memcpy(*plain + *size, room, written), *size += written;
  }
  if (status == QUORIN_OK)
    status = quorin_opener_finish(o, room, quorin_opener_room(o, 0), &written);
  if (status == QUORIN_OK) memcpy(*plain + *size, room, written), *size += written;
  quorin_opener_free(o);
  free(room);
  return status;
}

static int by_name(const void* a, const void* b) {
  return strcmp((const char*)a, (const char*)b);
}

int main(int argc, char** argv) {
  if (argc != 2 || sodium_init() < 0) return 2;
  DIR* dir = opendir(argv[1]);
  if (dir == NULL) return 2;
  static char names[1024][256];
  size_t count = 0;
  for (struct dirent* e; (e = readdir(dir)) != NULL && count < 1024;) {
    const size_t n = strlen(e->d_name);
    if (n > 4 && n < 256 && strcmp(e->d_name + n - 4, ".qsv") == 0)
      memcpy(names[count++], e->d_name, n + 1);
  }
  closedir(dir);
  qsort(names, count, sizeof names[0], by_name);
  for (size_t i = 0; i < count; ++i) {
    char path[4096];
    const size_t folder = strlen(argv[1]);
    if (folder + 1 + sizeof names[i] > sizeof path) return 2;
    memcpy(path, argv[1], folder);
    path[folder] = '/';
    memcpy(path + folder + 1, names[i], sizeof names[i]);
    vector v;
    memset(&v, 0, sizeof v);
    CHECK(load(path, &v));
    size_t size = v.size + 64;
    uint8_t* plain = malloc(size);
    const int whole = quorin_open_buffer(v.secrets, &v.limits, v.input, v.size, plain, &size);
    expect(names[i], "buffer", &v, whole, plain, size);
    free(plain);
    const int status = pushed(&v, &plain, &size);
    expect(names[i], "pushed", &v, status, plain, size);
    free(plain);
    quorin_secrets_free(v.secrets);
    free(v.input);
  }
  printf("%zu vectors\n", count);
  CHECK(count >= 150);
  return check_summary();
}
