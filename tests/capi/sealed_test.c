/* Sealed files through the C interface, compiled as C: round trips through
 * every shape (buffers, callbacks, writer and reader, files), the known
 * answer files, each failure's status, and every refused input. Prints
 * "N passed, N failed". */
#define _POSIX_C_SOURCE 200809L /* mkdtemp */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "check.h"
#include "quorin/quorin.h"
#include "scratch.h"

#define CHUNK 65536

/* Growable memory for the callbacks; `fail_at` makes a callback report a
 * failure once that many bytes have passed (0: never). */
typedef struct {
  uint8_t* data;
  size_t size, at, fail_at, piece;
} memory;

static ptrdiff_t read_memory(void* context, uint8_t* buffer, size_t len) {
  memory* m = context;
  if (m->fail_at && m->at >= m->fail_at) return -1;
  size_t n = m->size - m->at;
  if (n > len) n = len;
  if (m->piece && n > m->piece) n = m->piece; /* short reads before the end */
  memcpy(buffer, m->data + m->at, n);
  m->at += n;
  return (ptrdiff_t)n;
}

static int write_memory(void* context, const uint8_t* data, size_t len) {
  memory* m = context;
  if (m->fail_at && m->size >= m->fail_at) return 1;
  m->data = realloc(m->data, m->size + len + 1);
  memcpy(m->data + m->size, data, len);
  m->size += len;
  return 0;
}

static uint8_t* pattern(size_t size) {
  uint8_t* p = malloc(size + 1);
  for (size_t i = 0; i < size; ++i) p[i] = (uint8_t)(i * 7 + i / 251);
  return p;
}

static uint8_t* slurp_path(const char* path, size_t* size) {
  FILE* f = fopen(path, "rb");
  if (f == NULL) return NULL;
  fseek(f, 0, SEEK_END);
  *size = (size_t)ftell(f);
  fseek(f, 0, SEEK_SET);
  uint8_t* data = malloc(*size + 1);
  *size = fread(data, 1, *size, f);
  fclose(f);
  data[*size] = 0;
  return data;
}

static uint8_t* slurp(const char* name, size_t* size) {
  char path[512];
  snprintf(path, sizeof path, "%s/%s", QUORIN_TEST_DATA_DIR, name);
  return slurp_path(path, size);
}

/* Argon2id at its minimum: the bindings are under test, not the hashing. */
static quorin_seal_options fast(quorin_mode mode, quorin_key_size size) {
  quorin_seal_options o;
  quorin_seal_options_default(&o);
  o.mode = mode;
  o.key_size = size;
  o.passes = 1;
  o.memory_bytes = 8192;
  return o;
}

static char identity[128], recipient[128];

enum { PASSPHRASE, KEY_FILE, IDENTITY, KINDS };

/* One set of each kind; the identity's set seals to its recipient. */
static quorin_secrets* secrets_of(int kind, int sealing) {
  quorin_secrets* s = quorin_secrets_new();
  static const uint8_t key[32] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  if (kind == PASSPHRASE) CHECK(quorin_secrets_add_passphrase(s, (const uint8_t*)"horse", 5) == 0);
  if (kind == KEY_FILE) CHECK(quorin_secrets_add_key_file(s, key, sizeof key) == 0);
  if (kind == IDENTITY && sealing)
    CHECK(quorin_secrets_add_recipient(s, recipient, QUORIN_NUL_TERMINATED) == 0);
  if (kind == IDENTITY && !sealing)
    CHECK(quorin_secrets_add_identity(s, identity, strlen(identity)) == 0);
  return s;
}

static uint8_t* seal_buffer(const quorin_secrets* s, const quorin_seal_options* o,
                            const uint8_t* plain, size_t size, size_t* sealed_size) {
  size_t need = 0;
  CHECK(quorin_seal_buffer(s, o, plain, size, NULL, &need) == QUORIN_OK);
  uint8_t* sealed = malloc(need + 1);
  *sealed_size = need;
  CHECK(quorin_seal_buffer(s, o, plain, size, sealed, sealed_size) == QUORIN_OK);
  CHECK(*sealed_size == need); /* the size asked for is exact */
  return sealed;
}

static void test_identities(void) {
  size_t n = 0;
  CHECK(quorin_identity_new(NULL, &n) == QUORIN_OK && n > 20);
  size_t small = 4;
  CHECK(quorin_identity_new(identity, &small) == QUORIN_BUFFER_TOO_SMALL && small == n);
  n = sizeof identity;
  CHECK(quorin_identity_new(identity, &n) == QUORIN_OK && n == strlen(identity));
  CHECK(strncmp(identity, "QUORIN-IDENTITY-1", 17) == 0);
  n = sizeof recipient;
  CHECK(quorin_identity_recipient(identity, QUORIN_NUL_TERMINATED, recipient, &n) == QUORIN_OK);
  CHECK(strncmp(recipient, "quorin1", 7) == 0 && n == strlen(recipient));
  /* A mistyped character fails the checksum, and the message says so. */
  char typo[128];
  strcpy(typo, identity);
  typo[30] = typo[30] == 'Q' ? 'P' : 'Q';
  n = sizeof recipient;
  CHECK(quorin_identity_recipient(typo, QUORIN_NUL_TERMINATED, recipient + 64, &n) ==
        QUORIN_INVALID_ARGUMENT);
  CHECK(quorin_identity_recipient(NULL, 0, recipient, &n) == QUORIN_INVALID_ARGUMENT);
  CHECK(quorin_identity_new(identity, NULL) == QUORIN_INVALID_ARGUMENT);
}

static void test_secret_refusals(void) {
  quorin_secrets* s = quorin_secrets_new();
  const uint8_t key[16] = {0};
  CHECK(quorin_secrets_add_passphrase(s, (const uint8_t*)"", 0) == QUORIN_INVALID_ARGUMENT);
  CHECK(quorin_secrets_add_passphrase(s, (const uint8_t*)"one", 3) == QUORIN_OK);
  CHECK(quorin_secrets_add_passphrase(s, (const uint8_t*)"two", 3) == QUORIN_INVALID_ARGUMENT);
  CHECK(strstr(quorin_last_error(), "one passphrase") != NULL);
  CHECK(quorin_secrets_add_key_file(s, key, 15) == QUORIN_INVALID_ARGUMENT);
  CHECK(quorin_secrets_add_key_file(s, key, 16) == QUORIN_OK);
  CHECK(quorin_secrets_add_key_file(s, NULL, 16) == QUORIN_INVALID_ARGUMENT);
  CHECK(quorin_secrets_add_identity(s, "QUORIN-IDENTITY-1XYZ", QUORIN_NUL_TERMINATED) ==
        QUORIN_INVALID_ARGUMENT);
  CHECK(quorin_secrets_add_recipient(s, "quorin1abc", QUORIN_NUL_TERMINATED) ==
        QUORIN_INVALID_ARGUMENT);
  CHECK(quorin_secrets_add_recipient(s, NULL, 0) == QUORIN_INVALID_ARGUMENT);
  CHECK(quorin_secrets_add_passphrase(NULL, (const uint8_t*)"x", 1) == QUORIN_INVALID_ARGUMENT);
  quorin_secrets_free(s);
  quorin_secrets_free(NULL);

  /* Options no sealer accepts, each refused before anything is written. */
  quorin_secrets* one = secrets_of(PASSPHRASE, 1);
  quorin_secrets* none = quorin_secrets_new();
  quorin_seal_options bad[7];
  for (int i = 0; i < 7; ++i) bad[i] = fast(QUORIN_CBC, QUORIN_KEY_256);
  bad[0].mode = QUORIN_ECB;
  bad[1].key_size = (quorin_key_size)7;
  bad[2].format_version = 3;
  bad[3].passes = 0;
  bad[4].memory_bytes = 4096;
  bad[5].passes = 5;
  bad[6].mode = (quorin_mode)9;
  size_t n = 0;
  for (int i = 0; i < 7; ++i) {
    n = 99;
    CHECK(quorin_seal_buffer(one, &bad[i], (const uint8_t*)"x", 1, NULL, &n) ==
          QUORIN_INVALID_ARGUMENT);
    CHECK(n == 99);
  }
  quorin_seal_options ok = fast(QUORIN_CBC, QUORIN_KEY_256);
  CHECK(quorin_seal_buffer(none, &ok, (const uint8_t*)"x", 1, NULL, &n) == QUORIN_INVALID_ARGUMENT);
  quorin_seal_writer* w = NULL;
  CHECK(quorin_seal_writer_new(one, &bad[0], write_memory, NULL, &w) == QUORIN_INVALID_ARGUMENT);
  CHECK(w == NULL);
  quorin_secrets* two = secrets_of(KEY_FILE, 1);
  CHECK(quorin_secrets_add_passphrase(two, (const uint8_t*)"p", 1) == QUORIN_OK);
  ok.format_version = 1; /* one secret only */
  CHECK(quorin_seal_buffer(two, &ok, (const uint8_t*)"x", 1, NULL, &n) == QUORIN_INVALID_ARGUMENT);
  CHECK(quorin_seal_buffer(NULL, &ok, (const uint8_t*)"x", 1, NULL, &n) == QUORIN_INVALID_ARGUMENT);
  CHECK(quorin_open_buffer(one, NULL, (const uint8_t*)"x", 1, NULL, NULL) ==
        QUORIN_INVALID_ARGUMENT);
  CHECK(quorin_seal_stream(one, &ok, NULL, NULL, write_memory, NULL) == QUORIN_INVALID_ARGUMENT);
  CHECK(quorin_open_reader_new(one, NULL, read_memory, NULL, NULL) == QUORIN_INVALID_ARGUMENT);
  quorin_secrets_free(one);
  quorin_secrets_free(two);
  quorin_secrets_free(none);
}

/* Pushes src through a sealer (opening: an opener) in pieces of `piece`
 * bytes, appending to dst; returns the first failing status, with *info
 * filled from an opener once it has the header. */
static int push(const quorin_secrets* s, const quorin_seal_options* so,
                const quorin_open_options* oo, const uint8_t* src, size_t size, size_t piece,
                memory* dst) {
  quorin_sealer* sealer = NULL;
  quorin_opener* opener = NULL;
  int status = so != NULL ? quorin_sealer_new(s, so, &sealer) : quorin_opener_new(s, oo, &opener);
  for (size_t at = 0, n = 0; status == QUORIN_OK; at += n) {
    const int last = at == size;
    n = last ? 0 : size - at < piece ? size - at : piece;
    const size_t room = sealer ? quorin_sealer_room(sealer, n) : quorin_opener_room(opener, n);
    uint8_t* out = malloc(room + 1);
    size_t written = 1;
    if (sealer)
      status = last ? quorin_sealer_finish(sealer, out, room, &written)
                    : quorin_sealer_update(sealer, src + at, n, out, room, &written);
    else
      status = last ? quorin_opener_finish(opener, out, room, &written)
                    : quorin_opener_update(opener, src + at, n, out, room, &written);
    if (status == QUORIN_OK) {
      write_memory(dst, out, written);
    } else {
      size_t nonzero = 0;
      for (size_t i = 0; i < room; ++i) nonzero += opener != NULL && out[i] != 0;
      CHECK(written == 0 && nonzero == 0); /* an opener's output is wiped on failure */
      uint8_t byte = 0;
      CHECK((sealer ? quorin_sealer_update(sealer, &byte, 1, out, room, &written)
                    : quorin_opener_update(opener, &byte, 1, out, room, &written)) == status);
    }
    free(out);
    if (last) break;
  }
  quorin_sealer_free(sealer);
  quorin_opener_free(opener);
  return status;
}

/* Every mode, key size and kind of secret, at sizes around the chunk, by
 * buffers, callbacks, a writer and reader taking odd pieces, and pushed. */
static void test_round_trips(void) {
  static const size_t sizes[] = {0, 1, 15, 16, CHUNK - 1, CHUNK, CHUNK + 1, 3 * CHUNK + 100};
  static const quorin_mode modes[] = {QUORIN_CBC, QUORIN_CFB, QUORIN_OFB};
  const size_t largest = sizes[sizeof sizes / sizeof sizes[0] - 1];
  uint8_t* plain = pattern(largest);
  uint8_t* out = malloc(largest + 4 * CHUNK);
  for (int kind = 0; kind < KINDS; ++kind) {
    quorin_secrets* sealing = secrets_of(kind, 1);
    quorin_secrets* opening = secrets_of(kind, 0);
    for (int m = 0; m < 3; ++m)
      for (int k = 0; k < 3; ++k)
        for (size_t i = 0; i < sizeof sizes / sizeof sizes[0]; ++i) {
          const size_t size = sizes[i];
          if ((m + k + (int)i) % 3 != 0 && size > CHUNK) continue; /* the large ones once a mode */
          quorin_seal_options o = fast(modes[m], (quorin_key_size)k);
          size_t sealed_size = 0;
          uint8_t* sealed = seal_buffer(sealing, &o, plain, size, &sealed_size);

          quorin_sealed_info info;
          CHECK(quorin_sealed_info_buffer(sealed, sealed_size, NULL, &info) == QUORIN_OK);
          /* sealed with the ordinals of soname 1, which still serve; told in bits */
          CHECK(info.version == 2 && info.mode == modes[m] &&
                info.key_size == (quorin_key_size)(128 + 64 * k));
          CHECK(info.kinds == (1u << kind) && info.recipients == 1 && info.chunk_bytes == CHUNK);
          CHECK(info.passes == (kind == PASSPHRASE ? 1u : 0u));

          size_t n = sealed_size;
          CHECK(quorin_open_buffer(opening, NULL, sealed, sealed_size, out, &n) == QUORIN_OK);
          CHECK(n == size && memcmp(out, plain, size) == 0);

          memory src = {sealed, sealed_size, 0, 0, 1000}, dst = {NULL, 0, 0, 0, 0};
          CHECK(quorin_open_stream(opening, NULL, read_memory, &src, write_memory, &dst) == 0);
          CHECK(dst.size == size && (size == 0 || memcmp(dst.data, plain, size) == 0));
          free(dst.data);

          /* Sealed by a writer in pieces of 1000 bytes, opened by a reader in pieces of 777. */
          memory sink = {NULL, 0, 0, 0, 0};
          quorin_seal_writer* w = NULL;
          CHECK(quorin_seal_writer_new(sealing, &o, write_memory, &sink, &w) == QUORIN_OK);
          for (size_t at = 0; at < size; at += 1000)
            CHECK(quorin_seal_writer_write(w, plain + at, size - at < 1000 ? size - at : 1000) ==
                  QUORIN_OK);
          CHECK(quorin_seal_writer_finish(w) == QUORIN_OK);
          CHECK(quorin_seal_writer_finish(w) == QUORIN_INVALID_ARGUMENT);
          quorin_seal_writer_free(w);
          CHECK(sink.size == sealed_size);
          memory source = {sink.data, sink.size, 0, 0, 0};
          quorin_open_reader* r = NULL;
          CHECK(quorin_open_reader_new(opening, NULL, read_memory, &source, &r) == QUORIN_OK);
          CHECK(quorin_open_reader_info(r, &info) == QUORIN_OK && info.mode == modes[m]);
          size_t total = 0, got = 1;
          while (got > 0) {
            CHECK(quorin_open_reader_read(r, out + total, 777, &got) == QUORIN_OK);
            total += got;
          }
          CHECK(total == size && memcmp(out, plain, size) == 0);
          quorin_open_reader_free(r);
          /* Stopped with its plaintext unread: reads fail, never pass for the end. */
          source.at = 0;
          CHECK(quorin_open_reader_new(opening, NULL, read_memory, &source, &r) == QUORIN_OK);
          quorin_open_reader_stop(r);
          CHECK(quorin_open_reader_read(r, out, 777, &got) == QUORIN_INVALID_ARGUMENT && got == 0);
          quorin_open_reader_free(r);
          free(sink.data);

          memory pushed = {NULL, 0, 0, 0, 0}, opened = {NULL, 0, 0, 0, 0};
          CHECK(push(sealing, &o, NULL, plain, size, 1000, &pushed) == QUORIN_OK);
          CHECK(pushed.size == sealed_size);
          CHECK(push(opening, NULL, NULL, pushed.data, pushed.size, 777, &opened) == QUORIN_OK);
          CHECK(opened.size == size && (size == 0 || memcmp(opened.data, plain, size) == 0));
          free(pushed.data);
          free(opened.data);
          free(sealed);
        }
    quorin_secrets_free(sealing);
    quorin_secrets_free(opening);
  }
  free(plain);
  free(out);
}

/* The pinned files open to the pinned plaintext; version 1 too. */
static void test_known_answers(void) {
  size_t plain_size = 0, key_size = 0, id_size = 0;
  uint8_t* plain = slurp("sealed-kat.txt", &plain_size);
  uint8_t* key = slurp("sealed-kat.key", &key_size);
  uint8_t* id = slurp("sealed-kat.identity", &id_size);
  CHECK(plain != NULL && key != NULL && id != NULL);
  if (plain == NULL || key == NULL || id == NULL) return;
  while (id_size > 0 && (id[id_size - 1] == '\n' || id[id_size - 1] == '\r')) --id_size;
  static const struct {
    const char* file;
    int version;
    unsigned kinds;
  } files[] = {{"sealed-keyfile.qsl", 1, QUORIN_SECRET_KEY_FILE},
               {"sealed-passphrase.qsl", 1, QUORIN_SECRET_PASSPHRASE},
               {"sealed-v2-keyfile.qsl", 2, QUORIN_SECRET_KEY_FILE},
               {"sealed-v2-identity.qsl", 2, QUORIN_SECRET_IDENTITY},
               {"sealed-v2-three.qsl", 2,
                QUORIN_SECRET_PASSPHRASE | QUORIN_SECRET_KEY_FILE | QUORIN_SECRET_IDENTITY}};
  for (size_t i = 0; i < sizeof files / sizeof files[0]; ++i) {
    char path[512];
    snprintf(path, sizeof path, "%s/%s", QUORIN_TEST_DATA_DIR, files[i].file);
    quorin_sealed_info info;
    CHECK(quorin_sealed_info_file(path, NULL, &info) == QUORIN_OK);
    CHECK(info.version == files[i].version && info.kinds == files[i].kinds);
    /* Each secret the file was sealed for opens it, alone. */
    for (int kind = 0; kind < KINDS; ++kind) {
      if (!(files[i].kinds & (1u << kind))) continue;
      quorin_secrets* s = quorin_secrets_new();
      if (kind == PASSPHRASE)
        quorin_secrets_add_passphrase(s, (const uint8_t*)"quorin known answer", 19);
      if (kind == KEY_FILE) quorin_secrets_add_key_file(s, key, key_size);
      if (kind == IDENTITY) CHECK(quorin_secrets_add_identity(s, (char*)id, id_size) == 0);
      size_t sealed_size = 0;
      uint8_t* sealed = slurp(files[i].file, &sealed_size);
      uint8_t* out = malloc(sealed_size + 1);
      size_t n = sealed_size;
      CHECK(quorin_open_buffer(s, NULL, sealed, sealed_size, out, &n) == QUORIN_OK);
      CHECK(n == plain_size && memcmp(out, plain, n) == 0);
      memory pushed = {NULL, 0, 0, 0, 0};
      CHECK(push(s, NULL, NULL, sealed, sealed_size, 13, &pushed) == QUORIN_OK);
      CHECK(pushed.size == plain_size && memcmp(pushed.data, plain, plain_size) == 0);
      free(pushed.data);
      free(out);
      free(sealed);
      quorin_secrets_free(s);
    }
  }
  free(plain);
  free(key);
  free(id);
}

/* Each failure of the format has its own status, the same through every
 * shape; a buffer keeps nothing of a failed file, and a reader releases the
 * verified batches (of 32 chunks) before the bad chunk, and nothing after. */
static void test_failures(void) {
  const size_t size = 40 * CHUNK + 10;
  uint8_t* plain = pattern(size);
  quorin_secrets* pass = secrets_of(PASSPHRASE, 1);
  quorin_secrets* wrong = quorin_secrets_new();
  quorin_secrets_add_passphrase(wrong, (const uint8_t*)"mare", 4);
  quorin_secrets* key = secrets_of(KEY_FILE, 0);
  quorin_seal_options o = fast(QUORIN_CBC, QUORIN_KEY_256);
  o.passes = 2;
  size_t sealed_size = 0;
  uint8_t* sealed = seal_buffer(pass, &o, plain, size, &sealed_size);
  quorin_sealed_info info;
  CHECK(quorin_sealed_info_buffer(sealed, sealed_size, NULL, &info) == QUORIN_OK);
  const size_t header = sealed_size - (size / 16 + 1) * 16 - 41 * 16;
  const size_t bad_chunk = header + 35 * (CHUNK + 16) + 5;

  uint8_t* altered = malloc(sealed_size + 16);
  quorin_open_options strict;
  quorin_open_options_default(&strict);
  strict.max_passes = 1;
  enum { FLIP_HEADER, FLIP_CHUNK, CUT, APPEND, NOT_SEALED, VERSION, WRONG, KIND, COSTS, CASES };
  static const int expected[CASES] = {
      QUORIN_AUTHENTICATION, QUORIN_AUTHENTICATION, QUORIN_TRUNCATED,
      QUORIN_AUTHENTICATION, QUORIN_NOT_SEALED,     QUORIN_UNSUPPORTED_VERSION,
      QUORIN_AUTHENTICATION, QUORIN_SECRET_KIND,    QUORIN_COST_LIMIT};
  for (int c = 0; c < CASES; ++c) {
    size_t n = sealed_size;
    memcpy(altered, sealed, sealed_size);
    const quorin_secrets* with = c == WRONG ? wrong : c == KIND ? key : pass;
    const quorin_open_options* limits = c == COSTS ? &strict : NULL;
    if (c == FLIP_HEADER) altered[60] ^= 1;
    if (c == FLIP_CHUNK) altered[bad_chunk] ^= 0x80;
    if (c == CUT) n -= 16 + 7;
    if (c == APPEND) altered[n++] = 0;
    if (c == NOT_SEALED) altered[0] = 'X';
    if (c == VERSION) altered[8] = 9;

    uint8_t* out = calloc(n, 1);
    size_t out_size = n;
    CHECK(quorin_open_buffer(with, limits, altered, n, out, &out_size) == expected[c]);
    CHECK(out_size == n); /* untouched on failure */
    size_t nonzero = 0;
    for (size_t i = 0; i < n; ++i) nonzero += out[i] != 0;
    if (c == FLIP_CHUNK) CHECK(nonzero == 0); /* the verified chunks were wiped again */

    memory src = {altered, n, 0, 0, 0}, dst = {NULL, 0, 0, 0, 0};
    CHECK(quorin_open_stream(with, limits, read_memory, &src, write_memory, &dst) == expected[c]);
    /* only whole chunks before the altered one, as they were sealed */
    if (c == FLIP_CHUNK)
      CHECK(dst.size % CHUNK == 0 && dst.size <= 35 * CHUNK &&
            (dst.size == 0 || memcmp(dst.data, plain, dst.size) == 0));
    free(dst.data);

    memory source = {altered, n, 0, 0, 0};
    quorin_open_reader* r = NULL;
    int status = quorin_open_reader_new(with, limits, read_memory, &source, &r);
    size_t total = 0, got = 1;
    while (status == QUORIN_OK && got > 0) {
      status = quorin_open_reader_read(r, out, n, &got);
      total += got;
    }
    CHECK(status == expected[c]);
    CHECK(strlen(quorin_last_error()) > 10);
    if (c == FLIP_CHUNK) CHECK(total % CHUNK == 0 && total <= 35 * CHUNK);
    if (r != NULL) CHECK(quorin_open_reader_read(r, out, n, &got) == status && got == 0);
    quorin_open_reader_free(r);

    /* Pushed: the chunks before the bad one, and nothing after. */
    memory pushed = {NULL, 0, 0, 0, 0};
    CHECK(push(with, NULL, limits, altered, n, 4096, &pushed) == expected[c]);
    if (c == FLIP_CHUNK)
      CHECK(pushed.size == 35 * CHUNK && !memcmp(pushed.data, plain, pushed.size));
    free(pushed.data);
    free(out);
  }
  CHECK(strcmp(quorin_status_name(QUORIN_TRUNCATED), "QUORIN_TRUNCATED") == 0);
  CHECK(strcmp(quorin_status_name(QUORIN_SECRET_KIND), "QUORIN_SECRET_KIND") == 0);

  /* Too small a buffer: the exact size for sealing, the sealed size for opening. */
  uint8_t small[8];
  size_t n = sizeof small;
  CHECK(quorin_seal_buffer(pass, &o, plain, 100, small, &n) == QUORIN_BUFFER_TOO_SMALL);
  CHECK(n > 100);
  n = sizeof small;
  CHECK(quorin_open_buffer(pass, NULL, sealed, sealed_size, small, &n) == QUORIN_BUFFER_TOO_SMALL);
  CHECK(n == sealed_size);

  /* The callers' functions fail: reading, writing, and a writer's output. */
  memory src = {plain, size, 0, 70000, 0}, dst = {NULL, 0, 0, 0, 0};
  CHECK(quorin_seal_stream(pass, &o, read_memory, &src, write_memory, &dst) ==
        QUORIN_CALLBACK_FAILED);
  free(dst.data);
  memory src2 = {plain, size, 0, 0, 0}, dst2 = {NULL, 0, 0, 100, 0};
  CHECK(quorin_seal_stream(pass, &o, read_memory, &src2, write_memory, &dst2) ==
        QUORIN_CALLBACK_FAILED);
  free(dst2.data);
  memory failing = {NULL, 0, 0, 10, 0};
  quorin_seal_writer* w = NULL;
  CHECK(quorin_seal_writer_new(pass, &o, write_memory, &failing, &w) == QUORIN_OK);
  int status = QUORIN_OK;
  for (int i = 0; i < 64 && status == QUORIN_OK; ++i)
    status = quorin_seal_writer_write(w, plain, size);
  CHECK(status == QUORIN_CALLBACK_FAILED);
  CHECK(quorin_seal_writer_finish(w) == QUORIN_CALLBACK_FAILED);
  quorin_seal_writer_free(w);
  free(failing.data);

  /* A writer abandoned half-way leaves a file that does not open. */
  memory partial = {NULL, 0, 0, 0, 0};
  CHECK(quorin_seal_writer_new(pass, &o, write_memory, &partial, &w) == QUORIN_OK);
  CHECK(quorin_seal_writer_write(w, plain, size) == QUORIN_OK);
  quorin_seal_writer_free(w);
  uint8_t* out = malloc(partial.size + 1);
  n = partial.size;
  const int abandoned = quorin_open_buffer(pass, NULL, partial.data, partial.size, out, &n);
  CHECK(abandoned == QUORIN_TRUNCATED || abandoned == QUORIN_NOT_SEALED);
  free(out);
  free(partial.data);

  free(altered);
  free(sealed);
  free(plain);
  quorin_secrets_free(pass);
  quorin_secrets_free(wrong);
  quorin_secrets_free(key);
}

/* Files appear only when complete, private, and never over another. */
static void test_files(void) {
  char folder[] = "quorin-sealed-c-XXXXXX";
  CHECK(make_scratch_folder(folder) != NULL);
  char plain[256], sealed[256], opened[256], key[256];
  snprintf(plain, sizeof plain, "%s/plain", folder);
  snprintf(sealed, sizeof sealed, "%s/plain.qsl", folder);
  snprintf(opened, sizeof opened, "%s/opened", folder);
  snprintf(key, sizeof key, "%s/key", folder);
  FILE* f = fopen(plain, "wb");
  fputs("a file sealed from C", f);
  fclose(f);

  CHECK(quorin_keygen(key) == QUORIN_OK);
  struct stat st;
  CHECK(stat(key, &st) == 0 && st.st_size == 32 && OWNERS_ONLY(st));
  CHECK(quorin_keygen(key) == QUORIN_IO_ERROR && strstr(quorin_last_error(), "exists") != NULL);
  CHECK(quorin_keygen(NULL) == QUORIN_INVALID_ARGUMENT);

  size_t key_size = 0;
  uint8_t key_bytes[64];
  f = fopen(key, "rb");
  key_size = fread(key_bytes, 1, sizeof key_bytes, f);
  fclose(f);
  quorin_secrets* s = quorin_secrets_new();
  CHECK(quorin_secrets_add_key_file(s, key_bytes, key_size) == QUORIN_OK);
  CHECK(quorin_seal_file(s, NULL, plain, sealed) == QUORIN_OK);
  CHECK(stat(sealed, &st) == 0 && OWNERS_ONLY(st));
  CHECK(quorin_seal_file(s, NULL, plain, sealed) == QUORIN_IO_ERROR);
  quorin_seal_options replace;
  quorin_seal_options_default(&replace);
  replace.replace_output = 1;
  CHECK(quorin_seal_file(s, &replace, plain, sealed) == QUORIN_OK);
  quorin_sealed_info info;
  CHECK(quorin_sealed_info_file(sealed, NULL, &info) == QUORIN_OK);
  CHECK(info.kinds == QUORIN_SECRET_KEY_FILE && info.key_size == QUORIN_KEY_256);
  CHECK(quorin_sealed_info_file(plain, NULL, &info) == QUORIN_NOT_SEALED);
  CHECK(quorin_sealed_info_file(opened, NULL, &info) == QUORIN_IO_ERROR);
  CHECK(quorin_open_file(s, NULL, sealed, opened) == QUORIN_OK);
  char text[64] = {0};
  f = fopen(opened, "rb");
  CHECK(fread(text, 1, sizeof text, f) == 20);
  fclose(f);
  CHECK(strcmp(text, "a file sealed from C") == 0);

  /* A wrong secret leaves no output at all. */
  quorin_secrets* other = quorin_secrets_new();
  quorin_secrets_add_key_file(other, (const uint8_t*)"sixteen bytes!!!", 16);
  unlink(opened);
  CHECK(quorin_open_file(other, NULL, sealed, opened) == QUORIN_AUTHENTICATION);
  CHECK(access(opened, F_OK) != 0);
  CHECK(quorin_open_file(s, NULL, NULL, opened) == QUORIN_INVALID_ARGUMENT);

  /* A writer and a reader on file descriptors, and the header from a read function. */
  unlink(opened);
  FILE* out = fopen(opened, "wb");
  quorin_seal_writer* w = NULL;
  CHECK(quorin_seal_writer_new_fd(s, NULL, fileno(out), &w) == QUORIN_OK);
  CHECK(quorin_seal_writer_write(w, (const uint8_t*)"through a descriptor", 20) == QUORIN_OK);
  CHECK(quorin_seal_writer_finish(w) == QUORIN_OK);
  quorin_seal_writer_free(w);
  fclose(out);
  FILE* in = fopen(opened, "rb");
  quorin_open_reader* r = NULL;
  CHECK(quorin_open_reader_new_fd(s, NULL, fileno(in), &r) == QUORIN_OK);
  size_t got = 0;
  memset(text, 0, sizeof text);
  CHECK(quorin_open_reader_read(r, (uint8_t*)text, sizeof text, &got) == QUORIN_OK && got == 20);
  CHECK(strcmp(text, "through a descriptor") == 0);
  quorin_open_reader_free(r);
  fclose(in);
  size_t sealed_size = 0;
  uint8_t* sealed_bytes = slurp_path(opened, &sealed_size);
  memory src = {sealed_bytes, sealed_size, 0, 0, 3};
  CHECK(quorin_sealed_info_stream(read_memory, &src, NULL, &info) == QUORIN_OK);
  CHECK(info.kinds == QUORIN_SECRET_KEY_FILE && src.at < sealed_size); /* the header only */
  free(sealed_bytes);
  CHECK(quorin_seal_writer_new_fd(s, NULL, -1, &w) == QUORIN_INVALID_ARGUMENT);
  CHECK(quorin_open_reader_new_fd(s, NULL, -1, &r) == QUORIN_INVALID_ARGUMENT);
  CHECK(quorin_sealed_info_stream(NULL, NULL, NULL, &info) == QUORIN_INVALID_ARGUMENT);
  unlink(opened);
  quorin_secrets_free(other);
  quorin_secrets_free(s);
  unlink(plain);
  unlink(sealed);
  unlink(key);
  rmdir(folder);
}

/* Sizes no buffer holds, use after finishing, a recipient as a key file,
 * and freeing while a descriptor has nothing to give or take. */
static void test_limits_and_stops(void) {
  quorin_secrets* s = secrets_of(KEY_FILE, 1);
  const quorin_seal_options o = fast(QUORIN_CBC, QUORIN_KEY_256);
  const uint8_t byte = 7;
  uint8_t out[1 << 17];
  size_t n = 0, written = 0;
  CHECK(quorin_seal_buffer(s, &o, &byte, SIZE_MAX, NULL, &n) == QUORIN_INVALID_ARGUMENT);
  CHECK(quorin_seal_buffer(s, &o, &byte, SIZE_MAX / 2, NULL, &n) == QUORIN_INVALID_ARGUMENT);
  quorin_sealer* sealer = NULL;
  quorin_opener* opener = NULL;
  CHECK(quorin_sealer_new(s, &o, &sealer) == QUORIN_OK && quorin_opener_new(s, NULL, &opener) == 0);
  /* An opener holding the start of a header: its room counts those bytes too. */
  CHECK(quorin_opener_update(opener, (const uint8_t*)"QUORS", 5, out, sizeof out, &written) == 0);
  for (size_t len = SIZE_MAX - 100; len != 0; len = len < SIZE_MAX ? len + 1 : 0) {
    CHECK(quorin_sealer_room(sealer, len) == SIZE_MAX);
    CHECK(quorin_opener_room(opener, len) == (len > SIZE_MAX - 5 ? SIZE_MAX : len + 5));
  }
  /* The room asked for cannot be had: refused before a byte is read or written. */
  CHECK(quorin_sealer_update(sealer, &byte, SIZE_MAX / 2, out, sizeof out, &written) ==
        QUORIN_INVALID_ARGUMENT);
  quorin_sealer_free(sealer);
  quorin_opener_free(opener);
  CHECK(quorin_sealer_new(s, &o, &sealer) == QUORIN_OK && quorin_opener_new(s, NULL, &opener) == 0);
  CHECK(quorin_sealer_finish(sealer, out, sizeof out, &n) == QUORIN_OK);
  CHECK(quorin_opener_update(opener, out, n, out + n, sizeof out - n, &written) == QUORIN_OK);
  CHECK(quorin_opener_finish(opener, out + n, sizeof out - n, &written) == QUORIN_OK);
  CHECK(quorin_sealer_update(sealer, &byte, 1, out, sizeof out, &written) ==
        QUORIN_INVALID_ARGUMENT);
  CHECK(quorin_sealer_finish(sealer, out, sizeof out, &written) == QUORIN_INVALID_ARGUMENT);
  CHECK(quorin_opener_update(opener, &byte, 1, out, sizeof out, &written) ==
        QUORIN_INVALID_ARGUMENT);
  CHECK(quorin_opener_finish(opener, out, sizeof out, &written) == QUORIN_INVALID_ARGUMENT);
  quorin_sealer_free(sealer);
  quorin_opener_free(opener);
  /* A recipient's or an identity's printed form is no key file. */
  char listed[300];
  quorin_secrets* wrong = quorin_secrets_new();
  snprintf(listed, sizeof listed, "# team\n%s\n", recipient);
  CHECK(quorin_secrets_add_key_file(wrong, (const uint8_t*)listed, strlen(listed)) ==
        QUORIN_INVALID_ARGUMENT);
  CHECK(strstr(quorin_last_error(), "recipients") != NULL);
  CHECK(quorin_secrets_add_key_file(wrong, (const uint8_t*)identity, strlen(identity)) ==
        QUORIN_INVALID_ARGUMENT);
  quorin_secrets_free(wrong);
#ifndef _WIN32
  /* A pipe whose writer stays open after the header: freeing the reader
   * returns. A pipe nobody reads: freeing the writer returns. */
  int fds[2];
  CHECK(pipe(fds) == 0);
  size_t sealed_size = 0;
  uint8_t* sealed = seal_buffer(s, &o, out, CHUNK, &sealed_size);
  CHECK(write(fds[1], sealed, 4096) == 4096);
  quorin_open_reader* r = NULL;
  CHECK(quorin_open_reader_new_fd(s, NULL, fds[0], &r) == QUORIN_OK);
  quorin_open_reader_free(r);
  close(fds[0]);
  close(fds[1]);
  free(sealed);
  CHECK(pipe(fds) == 0); /* a reader that never reads */
  quorin_seal_writer* w = NULL;
  CHECK(quorin_seal_writer_new_fd(s, &o, fds[1], &w) == QUORIN_OK);
  static uint8_t plenty[1 << 20];
  CHECK(quorin_seal_writer_write(w, plenty, sizeof plenty) == QUORIN_OK);
  quorin_seal_writer_free(w);
  close(fds[0]);
  close(fds[1]);
#endif
  quorin_secrets_free(s);
}

/* Options by name: each name sets what the struct's field holds, refuses
 * what it cannot hold and names the options it belongs to; options made
 * by name seal, and the header reads by name as the struct says. */
static void test_options_by_name(void) {
  static const struct {
    int sealing;
    quorin_option name;
    uint64_t value;
    int status;
  } cases[] = {
      {1, QUORIN_OPTION_MODE, QUORIN_OFB, QUORIN_OK},
      {1, QUORIN_OPTION_MODE, 4, QUORIN_INVALID_ARGUMENT},
      {1, QUORIN_OPTION_KEY_SIZE, 192, QUORIN_OK},
      {1, QUORIN_OPTION_KEY_SIZE, 100, QUORIN_INVALID_ARGUMENT},
      {1, QUORIN_OPTION_KEY_SIZE, (uint64_t)1 << 32 | 128, QUORIN_INVALID_ARGUMENT},
      {1, QUORIN_OPTION_PASSES, UINT32_MAX, QUORIN_OK},
      {1, QUORIN_OPTION_PASSES, (uint64_t)UINT32_MAX + 2, QUORIN_INVALID_ARGUMENT},
      {1, QUORIN_OPTION_MEMORY_BYTES, UINT64_MAX, QUORIN_OK},
      {1, QUORIN_OPTION_FORMAT_VERSION, 1, QUORIN_OK},
      {1, QUORIN_OPTION_ARMOUR, 1, QUORIN_OK},
      {1, QUORIN_OPTION_ARMOUR, 2, QUORIN_INVALID_ARGUMENT},
      {1, QUORIN_OPTION_REPLACE_OUTPUT, 1, QUORIN_OK},
      {1, QUORIN_OPTION_MAX_PASSES, 1, QUORIN_INVALID_ARGUMENT},
      {1, (quorin_option)99, 1, QUORIN_INVALID_ARGUMENT},
      {0, QUORIN_OPTION_MAX_PASSES, 7, QUORIN_OK},
      {0, QUORIN_OPTION_MAX_PASSES, (uint64_t)1 << 32, QUORIN_INVALID_ARGUMENT},
      {0, QUORIN_OPTION_MAX_MEMORY_BYTES, 12345, QUORIN_OK},
      {0, QUORIN_OPTION_REPLACE_OUTPUT, 0, QUORIN_OK},
      {0, QUORIN_OPTION_ARMOUR, 1, QUORIN_INVALID_ARGUMENT},
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    uint64_t got = 0;
    quorin_seal_options* so = quorin_seal_options_new();
    quorin_open_options* oo = quorin_open_options_new();
    const int set = cases[i].sealing ? quorin_seal_options_set(so, cases[i].name, cases[i].value)
                                     : quorin_open_options_set(oo, cases[i].name, cases[i].value);
    if (set != cases[i].status) fprintf(stderr, "options case %zu\n", i);
    CHECK(set == cases[i].status);
    if (set == QUORIN_OK) {
      CHECK((cases[i].sealing ? quorin_seal_options_get(so, cases[i].name, &got)
                              : quorin_open_options_get(oo, cases[i].name, &got)) == QUORIN_OK);
      CHECK(got == cases[i].value);
    } else {
      /* a refusal says why and leaves the options at their defaults */
      quorin_seal_options sd;
      quorin_open_options od;
      quorin_seal_options_default(&sd);
      quorin_open_options_default(&od);
      CHECK(quorin_last_error()[0] != '\0');
      CHECK(so->mode == sd.mode && so->key_size == sd.key_size && so->passes == sd.passes &&
            so->memory_bytes == sd.memory_bytes && so->format_version == sd.format_version &&
            so->armour == sd.armour && so->replace_output == sd.replace_output);
      CHECK(oo->max_passes == od.max_passes && oo->max_memory_bytes == od.max_memory_bytes &&
            oo->replace_output == od.replace_output);
    }
    quorin_options_free(so);
    quorin_options_free(oo);
  }

  /* The defaults by name are the struct's, and options made by name seal. */
  quorin_seal_options d, *so = quorin_seal_options_new();
  quorin_seal_options_default(&d);
  uint64_t v = 0;
  CHECK(quorin_seal_options_get(so, QUORIN_OPTION_PASSES, &v) == QUORIN_OK && v == d.passes);
  CHECK(quorin_seal_options_get(so, QUORIN_OPTION_KEY_SIZE, &v) == QUORIN_OK && v == 256);
  CHECK(quorin_seal_options_set(so, QUORIN_OPTION_MODE, QUORIN_CFB) == QUORIN_OK);
  CHECK(quorin_seal_options_set(so, QUORIN_OPTION_KEY_SIZE, 128) == QUORIN_OK);
  CHECK(quorin_seal_options_set(so, QUORIN_OPTION_PASSES, 1) == QUORIN_OK);
  CHECK(quorin_seal_options_set(so, QUORIN_OPTION_MEMORY_BYTES, 8192) == QUORIN_OK);
  quorin_secrets* s = secrets_of(PASSPHRASE, 1);
  size_t sealed_size = 0;
  uint8_t* sealed = seal_buffer(s, so, (const uint8_t*)"abc", 3, &sealed_size);
  quorin_sealed_info* info = quorin_sealed_info_new();
  CHECK(quorin_sealed_info_buffer(sealed, sealed_size, NULL, info) == QUORIN_OK);
  static const struct {
    quorin_info_field name;
    uint64_t value;
  } fields[] = {{QUORIN_INFO_VERSION, 2},         {QUORIN_INFO_MODE, QUORIN_CFB},
                {QUORIN_INFO_KEY_SIZE, 128},      {QUORIN_INFO_KINDS, QUORIN_SECRET_PASSPHRASE},
                {QUORIN_INFO_RECIPIENTS, 1},      {QUORIN_INFO_PASSES, 1},
                {QUORIN_INFO_MEMORY_BYTES, 8192}, {QUORIN_INFO_CHUNK_BYTES, CHUNK}};
  for (size_t i = 0; i < sizeof fields / sizeof fields[0]; ++i)
    CHECK(quorin_sealed_info_get(info, fields[i].name, &v) == QUORIN_OK && v == fields[i].value);
  CHECK(quorin_sealed_info_get(info, (quorin_info_field)0, &v) == QUORIN_INVALID_ARGUMENT);
  CHECK(quorin_seal_options_set(NULL, QUORIN_OPTION_MODE, 1) == QUORIN_INVALID_ARGUMENT);
  CHECK(quorin_sealed_info_get(info, QUORIN_INFO_MODE, NULL) == QUORIN_INVALID_ARGUMENT);
  quorin_options_free(NULL);
  quorin_options_free(info);
  quorin_options_free(so);
  quorin_secrets_free(s);
  free(sealed);
}

/* A file's chunks sealed and opened away from its sealer and opener, as
 * threads without shared memory do: the file opens as a whole, a file
 * sealed whole opens in parts, a damaged chunk is refused with its dst
 * wiped, and every other state is refused. */
static void test_chunks_elsewhere(void) {
  static const size_t sizes[] = {0, 5, CHUNK, 3 * CHUNK + 5, 70 * CHUNK};
  static const quorin_mode modes[] = {QUORIN_CBC, QUORIN_CFB, QUORIN_OFB};
  quorin_secrets* s = secrets_of(KEY_FILE, 1);
  uint8_t keys[QUORIN_CHUNK_KEYS_BYTES];
  size_t chunk = 0, stored = 0, n = 0, header = 0;
  for (size_t m = 0; m < 3; ++m) {
    for (size_t i = 0; i < sizeof sizes / sizeof sizes[0]; ++i) {
      const quorin_seal_options o = fast(modes[m], QUORIN_KEY_256);
      uint8_t* plain = pattern(sizes[i] + 1);
      const size_t full = sizes[i] / CHUNK, rest = sizes[i] % CHUNK;
      /* Sealing: the header, the full chunks in two runs, the rest. */
      quorin_sealer* sealer = NULL;
      CHECK(quorin_sealer_new(s, &o, &sealer) == QUORIN_OK);
      CHECK(quorin_sealer_chunk_keys(sealer, keys, sizeof keys, &chunk) == QUORIN_INVALID_ARGUMENT);
      const size_t room = quorin_sealer_room(sealer, sizes[i]);
      uint8_t* sealed = malloc(room + 1);
      CHECK(quorin_sealer_update(sealer, NULL, 0, sealed, room, &header) == QUORIN_OK);
      CHECK(quorin_sealer_chunk_keys(sealer, keys, sizeof keys, &chunk) == QUORIN_OK);
      CHECK(chunk == CHUNK);
      const size_t half = full / 2;
      CHECK(quorin_seal_chunks(keys, sizeof keys, half, plain + half * CHUNK, (full - half) * CHUNK,
                               sealed + header + half * (CHUNK + 16), room) == QUORIN_OK);
      CHECK(quorin_seal_chunks(keys, sizeof keys, 0, plain, half * CHUNK, sealed + header, room) ==
            QUORIN_OK);
      CHECK(quorin_sealer_skip(sealer, full) == QUORIN_OK);
      size_t at = header + full * (CHUNK + 16);
      CHECK(quorin_sealer_update(sealer, plain + full * CHUNK, rest, sealed + at, room - at, &n) ==
                QUORIN_OK &&
            n == 0);
      if (rest > 0) /* a partial chunk held: no more chunks elsewhere */
        CHECK(quorin_sealer_skip(sealer, 1) == QUORIN_INVALID_ARGUMENT);
      CHECK(quorin_sealer_finish(sealer, sealed + at, room - at, &n) == QUORIN_OK);
      const size_t sealed_size = at + n;
      CHECK(quorin_sealer_skip(sealer, 1) == QUORIN_INVALID_ARGUMENT);
      quorin_sealer_free(sealer);
      uint8_t* out = malloc(room + CHUNK);
      n = room;
      CHECK(quorin_open_buffer(s, NULL, sealed, sealed_size, out, &n) == QUORIN_OK);
      CHECK(n == sizes[i] && memcmp(out, plain, n) == 0);

      /* Opening: exactly the header, the chunks before the last elsewhere. */
      CHECK(quorin_sealed_header_size(sealed, 10, &n) == QUORIN_OK && n == 0);
      CHECK(quorin_sealed_header_size(sealed, sealed_size, &n) == QUORIN_OK && n == header);
      quorin_opener* opener = NULL;
      CHECK(quorin_opener_new(s, NULL, &opener) == QUORIN_OK);
      CHECK(quorin_opener_update(opener, sealed, header, out, room, &n) == QUORIN_OK && n == 0);
      CHECK(quorin_opener_chunk_keys(opener, keys, sizeof keys, &stored) == QUORIN_OK &&
            stored == CHUNK + 16);
      CHECK(quorin_open_chunks(keys, sizeof keys, 0, sealed + header, full * stored, out,
                               full * CHUNK) == QUORIN_OK);
      CHECK(quorin_opener_skip(opener, full) == QUORIN_OK);
      at = header + full * stored;
      CHECK(quorin_opener_update(opener, sealed + at, sealed_size - at, out + full * CHUNK,
                                 quorin_opener_room(opener, sealed_size - at), &n) == QUORIN_OK);
      CHECK(quorin_opener_finish(opener, out + full * CHUNK + n, CHUNK, &n) == QUORIN_OK);
      CHECK(memcmp(out, plain, sizes[i]) == 0);
      quorin_opener_free(opener);
      if (full > 1) { /* a damaged chunk, numbered as it stands */
        sealed[header + stored + 7] ^= 1;
        memset(out, 0, full * CHUNK);
        CHECK(quorin_open_chunks(keys, sizeof keys, 0, sealed + header, full * stored, out,
                                 full * CHUNK) == QUORIN_AUTHENTICATION);
        CHECK(memcmp(out, plain, CHUNK) != 0); /* wiped, the good first chunk too */
        CHECK(quorin_open_chunks(keys, sizeof keys, 1, sealed + header, stored, out, CHUNK) ==
              QUORIN_AUTHENTICATION); /* the first chunk given another number */
      }
      free(out);
      free(sealed);
      free(plain);
    }
  }
  /* Refused: armour, a version-1 file, more than the header pushed, bad keys. */
  quorin_seal_options armoured = fast(QUORIN_CBC, QUORIN_KEY_128);
  armoured.armour = 1;
  quorin_sealer* sealer = NULL;
  static uint8_t out[4 * CHUNK];
  CHECK(quorin_sealer_new(s, &armoured, &sealer) == QUORIN_OK);
  CHECK(quorin_sealer_update(sealer, NULL, 0, out, sizeof out, &n) == QUORIN_OK);
  CHECK(quorin_sealer_chunk_keys(sealer, keys, sizeof keys, &chunk) == QUORIN_INVALID_ARGUMENT);
  quorin_sealer_free(sealer);
  quorin_seal_options v1 = fast(QUORIN_CBC, QUORIN_KEY_128);
  v1.format_version = 1;
  size_t sealed_size = 0;
  uint8_t* sealed = seal_buffer(s, &v1, (const uint8_t*)"abc", 3, &sealed_size);
  CHECK(quorin_sealed_header_size(sealed, sealed_size, &header) == QUORIN_OK && header > 0);
  quorin_opener* opener = NULL;
  CHECK(quorin_opener_new(s, NULL, &opener) == QUORIN_OK);
  CHECK(quorin_opener_update(opener, sealed, header, out, sizeof out, &n) == QUORIN_OK);
  CHECK(quorin_opener_chunk_keys(opener, keys, sizeof keys, &stored) == QUORIN_INVALID_ARGUMENT);
  quorin_opener_free(opener);
  free(sealed);
  sealed = seal_buffer(s, NULL, (const uint8_t*)"abc", 3, &sealed_size);
  CHECK(quorin_sealed_header_size(sealed, sealed_size, &header) == QUORIN_OK);
  CHECK(quorin_opener_new(s, NULL, &opener) == QUORIN_OK);
  CHECK(quorin_opener_update(opener, sealed, header + 1, out, sizeof out, &n) == QUORIN_OK);
  CHECK(quorin_opener_chunk_keys(opener, keys, sizeof keys, &stored) == QUORIN_INVALID_ARGUMENT);
  quorin_opener_free(opener);
  CHECK(quorin_sealed_header_size((const uint8_t*)"not sealed at all", 17, &n) ==
        QUORIN_NOT_SEALED);
  memset(keys, 0, sizeof keys);
  CHECK(quorin_seal_chunks(keys, sizeof keys, 0, out, 0, out, 0) == QUORIN_INVALID_ARGUMENT);
  CHECK(quorin_open_chunks(keys, sizeof keys - 1, 0, out, 0, out, 0) == QUORIN_INVALID_ARGUMENT);
  free(sealed);
  quorin_secrets_free(s);
}

int main(void) {
  test_identities();
  test_secret_refusals();
  test_round_trips();
  test_known_answers();
  test_failures();
  test_files();
  test_limits_and_stops();
  test_options_by_name();
  test_chunks_elsewhere();
  return check_summary();
}
