/* The C interface, compiled as C: every function, the known answers, and
 * every refused input. Prints "N passed, N failed". */
#define _POSIX_C_SOURCE 200809L /* mkdtemp */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "check.h"
#include "quorin/quorin.h"
#include "scratch.h"

static size_t from_hex(const char* hex, uint8_t* out) {
  size_t n = strlen(hex) / 2;
  for (size_t i = 0; i < n; ++i) {
    unsigned v;
    sscanf(hex + 2 * i, "%2x", &v);
    out[i] = (uint8_t)v;
  }
  return n;
}

static quorin* keyed(quorin_mode mode, quorin_string_mode strings) {
  quorin* q = quorin_new();
  quorin_set_mode(q, mode);
  quorin_set_string_mode(q, strings);
  quorin_initialise(q, (const uint8_t*)"c interface key!", 16);
  quorin_load_iv(q, (const uint8_t*)"c interface iv..", 16);
  return q;
}

static void test_properties(void) {
  quorin* q = quorin_new();
  CHECK(q != NULL);
  CHECK(quorin_get_mode(q) == QUORIN_ECB);
  CHECK(quorin_get_key_size(q) == QUORIN_KEY_128);
  CHECK(quorin_get_string_mode(q) == QUORIN_STRING_ENCODE);
  CHECK(quorin_set_mode(q, QUORIN_OFB) == QUORIN_OK && quorin_get_mode(q) == QUORIN_OFB);
  CHECK(quorin_set_key_size(q, QUORIN_KEY_192) == QUORIN_OK &&
        quorin_get_key_size(q) == QUORIN_KEY_192);
  CHECK(quorin_set_string_mode(q, QUORIN_STRING_NORMAL) == QUORIN_OK);
  CHECK(quorin_get_string_mode(q) == QUORIN_STRING_NORMAL);
  /* Values outside the enumerations are refused and change nothing. */
  const int bad[] = {-1, 3, 4, 99};
  for (size_t i = 0; i < sizeof bad / sizeof bad[0]; ++i) {
    if (bad[i] > 3 || bad[i] < 0)
      CHECK(quorin_set_mode(q, (quorin_mode)bad[i]) == QUORIN_INVALID_ARGUMENT);
    if (bad[i] > 2 || bad[i] < 0)
      CHECK(quorin_set_key_size(q, (quorin_key_size)bad[i]) == QUORIN_INVALID_ARGUMENT);
    if (bad[i] > 1 || bad[i] < 0)
      CHECK(quorin_set_string_mode(q, (quorin_string_mode)bad[i]) == QUORIN_INVALID_ARGUMENT);
  }
  CHECK(quorin_get_mode(q) == QUORIN_OFB && quorin_get_key_size(q) == QUORIN_KEY_192);
  CHECK(strstr(quorin_last_error(), "string mode") != NULL);
  CHECK(strcmp(quorin_version(), "1.11") == 0);
  /* NULL handles. */
  CHECK(quorin_set_mode(NULL, QUORIN_CBC) == QUORIN_INVALID_ARGUMENT);
  /* The getters give the defaults for a NULL handle, and say why. */
  CHECK(quorin_get_mode(NULL) == QUORIN_ECB && strstr(quorin_last_error(), "NULL") != NULL);
  CHECK(quorin_get_key_size(NULL) == QUORIN_KEY_128);
  CHECK(quorin_get_string_mode(NULL) == QUORIN_STRING_ENCODE);
  CHECK(quorin_buffer(NULL) == NULL);
  quorin_burn(NULL);
  quorin_free(NULL);
  quorin_free(q);
}

static void test_published_vectors(void) {
  FILE* f = fopen(QUORIN_TEST_DATA_DIR "/rc6-published.vec", "r");
  CHECK(f != NULL);
  if (f == NULL) return;
  char line[512];
  int vectors = 0;
  while (fgets(line, sizeof line, f) != NULL) {
    int bytes;
    char key[80], pt[40], ct[40];
    if (line[0] == '#' || sscanf(line, "%d %79s %39s %39s", &bytes, key, pt, ct) != 4) continue;
    uint8_t k[32], p[16], c[16], out[16];
    from_hex(key, k), from_hex(pt, p), from_hex(ct, c);
    quorin* q = quorin_new();
    quorin_set_key_size(q, bytes == 16   ? QUORIN_KEY_128
                           : bytes == 24 ? QUORIN_KEY_192
                                         : QUORIN_KEY_256);
    CHECK(quorin_initialise(q, k, (size_t)bytes) == QUORIN_OK);
    CHECK(quorin_encrypt_block(q, p, out) == QUORIN_OK && memcmp(out, c, 16) == 0);
    CHECK(quorin_decrypt_block(q, c, out) == QUORIN_OK && memcmp(out, p, 16) == 0);
    quorin_free(q);
    ++vectors;
  }
  fclose(f);
  CHECK(vectors == 6);
}

static void test_keying_and_refusals(void) {
  quorin* q = quorin_new();
  uint8_t block[16] = {0}, out[16];
  CHECK(quorin_encrypt_block(q, block, out) == QUORIN_NO_KEY);
  CHECK(strcmp(quorin_status_name(QUORIN_NO_KEY), "QUORIN_NO_KEY") == 0);
  CHECK(quorin_initialise(q, (const uint8_t*)"", 0) == QUORIN_EMPTY_KEY);
  CHECK(quorin_initialise(q, NULL, 5) == QUORIN_INVALID_ARGUMENT);
  CHECK(quorin_initialise(q, (const uint8_t*)"k", 1) == QUORIN_OK);
  CHECK(quorin_set_mode(q, QUORIN_CBC) == QUORIN_OK);
  CHECK(quorin_encrypt_block(q, block, out) == QUORIN_NO_IV);
  CHECK(quorin_load_iv(q, NULL, 3) == QUORIN_INVALID_ARGUMENT);
  CHECK(quorin_load_iv(q, (const uint8_t*)"iv", 2) == QUORIN_OK);
  CHECK(quorin_encrypt_block(q, block, out) == QUORIN_OK);
  CHECK(quorin_encrypt_block(q, NULL, out) == QUORIN_INVALID_ARGUMENT);
  CHECK(quorin_decrypt_block(q, block, NULL) == QUORIN_INVALID_ARGUMENT);
  quorin_burn(q);
  CHECK(quorin_encrypt_block(q, block, out) == QUORIN_NO_KEY);
  quorin_free(q);
}

static void test_buffer(void) {
  quorin* e = keyed(QUORIN_CBC, QUORIN_STRING_NORMAL);
  quorin* d = keyed(QUORIN_CBC, QUORIN_STRING_NORMAL);
  uint8_t* buffer = quorin_buffer(e);
  CHECK(buffer != NULL);
  for (int i = 0; i < 4096; ++i) buffer[i] = (uint8_t)(i * 7);
  const int bad[] = {0, 15, 17, 4128, -16};
  for (size_t i = 0; i < sizeof bad / sizeof bad[0]; ++i)
    CHECK(quorin_encrypt_buffer(e, bad[i]) == QUORIN_BAD_COUNT);
  CHECK(quorin_encrypt_buffer(e, 4096) == QUORIN_OK);
  memcpy(quorin_buffer(d), buffer, 4096);
  CHECK(quorin_decrypt_buffer(d, 4096) == QUORIN_OK);
  int same = 1;
  for (int i = 0; i < 4096; ++i) same = same && quorin_buffer(d)[i] == (uint8_t)(i * 7);
  CHECK(same);
  CHECK(quorin_encrypt_buffer(NULL, 16) == QUORIN_INVALID_ARGUMENT);
  quorin_free(e);
  quorin_free(d);
}

/* Whole blocks of any length: the unpadded prefix of the padded string
 * encryption, in place or not, and back; refusals before any change. */
static void test_blocks(void) {
  static uint8_t plain[3 * 4096 + 48], sealed[sizeof plain + 16], back[sizeof plain];
  const size_t lengths[] = {0, 16, 4096, 4112, sizeof plain};
  for (size_t i = 0; i < sizeof plain; ++i) plain[i] = (uint8_t)(i * 13 + 1);
  for (size_t k = 0; k < sizeof lengths / sizeof lengths[0]; ++k) {
    const size_t len = lengths[k];
    quorin* q = keyed(QUORIN_CBC, QUORIN_STRING_NORMAL);
    size_t padded = sizeof sealed;
    CHECK(quorin_encrypt_string(q, plain, len, sealed, &padded) == QUORIN_OK && padded == len + 16);
    CHECK(quorin_load_iv(q, (const uint8_t*)"c interface iv..", 16) == QUORIN_OK);
    memcpy(back, plain, len);
    CHECK(quorin_encrypt_blocks(q, back, back, len) == QUORIN_OK); /* in place */
    CHECK(len == 0 || memcmp(back, sealed, len) == 0);
    CHECK(quorin_load_iv(q, (const uint8_t*)"c interface iv..", 16) == QUORIN_OK);
    CHECK(quorin_decrypt_blocks(q, sealed, back, len) == QUORIN_OK);
    CHECK(len == 0 || memcmp(back, plain, len) == 0);
    quorin_free(q);
  }
  quorin* q = quorin_new();
  CHECK(quorin_encrypt_blocks(q, plain, back, 0) == QUORIN_NO_KEY);
  CHECK(quorin_initialise(q, (const uint8_t*)"k", 1) == QUORIN_OK);
  CHECK(quorin_set_mode(q, QUORIN_OFB) == QUORIN_OK);
  CHECK(quorin_decrypt_blocks(q, plain, back, 16) == QUORIN_NO_IV);
  CHECK(quorin_encrypt_blocks(q, plain, back, 15) == QUORIN_INVALID_ARGUMENT);
  CHECK(quorin_encrypt_blocks(q, NULL, back, 16) == QUORIN_INVALID_ARGUMENT);
  CHECK(quorin_decrypt_blocks(NULL, plain, back, 16) == QUORIN_INVALID_ARGUMENT);
  quorin_free(q);
}

/* Every length 0..40 in every mode and both string forms, with the size
 * queries, through one instance each way. */
static void test_strings(void) {
  for (int mode = QUORIN_ECB; mode <= QUORIN_OFB; ++mode)
    for (int form = QUORIN_STRING_ENCODE; form <= QUORIN_STRING_NORMAL; ++form)
      for (size_t len = 0; len <= 40; ++len) {
        quorin* e = keyed((quorin_mode)mode, (quorin_string_mode)form);
        quorin* d = keyed((quorin_mode)mode, (quorin_string_mode)form);
        uint8_t plain[40], cipher[80], back[80];
        for (size_t i = 0; i < len; ++i) plain[i] = (uint8_t)(len + i);
        size_t need = 0, cipher_len, back_len;
        CHECK(quorin_encrypt_string(e, plain, len, NULL, &need) == QUORIN_OK);
        const size_t raw = (len / 16 + 1) * 16;
        CHECK(need == (form == QUORIN_STRING_ENCODE ? (raw * 4 + 2) / 3 + 1 : raw));
        cipher_len = need - 1;
        CHECK(quorin_encrypt_string(e, plain, len, cipher, &cipher_len) == QUORIN_BUFFER_TOO_SMALL);
        CHECK(cipher_len == need);
        cipher_len = sizeof cipher;
        CHECK(quorin_encrypt_string(e, plain, len, cipher, &cipher_len) == QUORIN_OK);
        if (form == QUORIN_STRING_ENCODE) CHECK(strlen((const char*)cipher) == cipher_len);
        back_len = sizeof back;
        CHECK(quorin_decrypt_string(
                  d, cipher, form == QUORIN_STRING_ENCODE ? QUORIN_NUL_TERMINATED : cipher_len,
                  back, &back_len) == QUORIN_OK);
        CHECK(back_len == len && memcmp(back, plain, len) == 0);
        quorin_free(e);
        quorin_free(d);
      }
  quorin* q = keyed(QUORIN_CBC, QUORIN_STRING_NORMAL);
  uint8_t out[32];
  size_t out_len = sizeof out;
  CHECK(quorin_decrypt_string(q, (const uint8_t*)"fifteen bytes!!", 15, out, &out_len) ==
        QUORIN_BAD_CIPHERTEXT);
  CHECK(quorin_decrypt_string(q, (const uint8_t*)"", 0, out, &out_len) == QUORIN_BAD_CIPHERTEXT);
  CHECK(quorin_encrypt_string(q, NULL, 3, out, &out_len) == QUORIN_INVALID_ARGUMENT);
  CHECK(quorin_encrypt_string(q, out, 3, out, NULL) == QUORIN_INVALID_ARGUMENT);
  /* The chain runs on: the same text twice gives different ciphertext. */
  uint8_t a[32], b[32];
  size_t a_len = sizeof a, b_len = sizeof b;
  quorin_encrypt_string(q, (const uint8_t*)"same", 4, a, &a_len);
  quorin_encrypt_string(q, (const uint8_t*)"same", 4, b, &b_len);
  CHECK(a_len == b_len && memcmp(a, b, a_len) != 0);
  quorin_free(q);
}

static void test_files(void) {
  char dir[] = "quorin-capi-XXXXXX";
  CHECK(make_scratch_folder(dir) != NULL);
  char plain[64], cipher[64], back[64], missing[64];
  snprintf(plain, sizeof plain, "%s/plain", dir);
  snprintf(cipher, sizeof cipher, "%s/cipher", dir);
  snprintf(back, sizeof back, "%s/back", dir);
  snprintf(missing, sizeof missing, "%s/missing", dir);
  FILE* f = fopen(plain, "wb");
  for (int i = 0; i < 10001; ++i) fputc(i % 251, f);
  fclose(f);
  quorin* e = keyed(QUORIN_OFB, QUORIN_STRING_NORMAL);
  quorin* d = keyed(QUORIN_OFB, QUORIN_STRING_NORMAL);
  CHECK(quorin_encrypt_file(e, plain, cipher) == QUORIN_OK);
  CHECK(quorin_decrypt_file(d, cipher, back) == QUORIN_OK);
  FILE* a = fopen(plain, "rb");
  FILE* b = fopen(back, "rb");
  int same = a != NULL && b != NULL, ca, cb;
  while (same && (ca = fgetc(a)) != EOF) same = (cb = fgetc(b)) == ca;
  same = same && fgetc(b) == EOF;
  if (a) fclose(a);
  if (b) fclose(b);
  CHECK(same);
  CHECK(quorin_encrypt_file(e, missing, back) == QUORIN_IO_ERROR);
  CHECK(strstr(quorin_last_error(), "missing") != NULL);
  CHECK(quorin_encrypt_file(e, plain, plain) == QUORIN_SAME_FILE);
  CHECK(quorin_decrypt_file(d, plain, back) == QUORIN_BAD_CIPHERTEXT);
  CHECK(quorin_encrypt_file(e, NULL, back) == QUORIN_INVALID_ARGUMENT);
  quorin_free(e);
  quorin_free(d);
  unlink(plain), unlink(cipher), unlink(back);
  rmdir(dir);
}

static void test_mac_and_armour(void) {
  quorin* q = keyed(QUORIN_ECB, QUORIN_STRING_NORMAL);
  uint8_t mac[16];
  char hex[33];
  CHECK(quorin_mac(q, mac) == QUORIN_NOT_CBC);
  quorin_set_mode(q, QUORIN_CBC);
  uint8_t out[64];
  size_t out_len = sizeof out;
  quorin_encrypt_string(q, (const uint8_t*)"message", 7, out, &out_len);
  CHECK(quorin_mac(q, mac) == QUORIN_OK);
  CHECK(quorin_mac_hex(q, hex) == QUORIN_OK && strlen(hex) == 32);
  char expect[33];
  for (int i = 0; i < 16; ++i) sprintf(expect + 2 * i, "%02X", mac[i]);
  CHECK(strcmp(hex, expect) == 0);
  CHECK(memcmp(mac, out + out_len - 16, 16) == 0);
  CHECK(quorin_mac(q, NULL) == QUORIN_INVALID_ARGUMENT);
  quorin_free(q);

  char text[8];
  size_t text_len = 0;
  CHECK(quorin_encode((const uint8_t*)"a", 1, NULL, &text_len) == QUORIN_OK && text_len == 3);
  text_len = 2;
  CHECK(quorin_encode((const uint8_t*)"a", 1, text, &text_len) == QUORIN_BUFFER_TOO_SMALL);
  text_len = sizeof text;
  CHECK(quorin_encode((const uint8_t*)"a", 1, text, &text_len) == QUORIN_OK);
  CHECK(strcmp(text, "ME") == 0 && text_len == 2);
  uint8_t bytes[8];
  size_t bytes_len = sizeof bytes;
  CHECK(quorin_decode("ME", QUORIN_NUL_TERMINATED, bytes, &bytes_len) == QUORIN_OK);
  CHECK(bytes_len == 1 && bytes[0] == 'a');
  CHECK(quorin_decode(NULL, 2, bytes, &bytes_len) == QUORIN_INVALID_ARGUMENT);
  /* Every status has a name. */
  const int codes[] = {0, -1, -2, -4, -5, -6, -7, -8, -9, -10, -11, -20, -21, -22, -23, -24};
  for (size_t i = 0; i < sizeof codes / sizeof codes[0]; ++i)
    CHECK(strncmp(quorin_status_name(codes[i]), "QUORIN_", 7) == 0 &&
          strcmp(quorin_status_name(codes[i]), "QUORIN_UNKNOWN_STATUS") != 0);
  CHECK(strcmp(quorin_status_name(-3), "QUORIN_UNKNOWN_STATUS") == 0);
}

/* Refused calls with a size-query output: the status, and *dst_len left as
 * it was, whatever the reason (no key, bad ciphertext, a length whose
 * output size would not fit a size_t). */
static void test_refusals_keep_dst_len(void) {
  quorin* unkeyed = quorin_new();
  quorin* raw = keyed(QUORIN_CBC, QUORIN_STRING_NORMAL);
  quorin* text = keyed(QUORIN_CBC, QUORIN_STRING_ENCODE);
  static const uint8_t src[16] = {0};
  uint8_t dst[64];
  enum { ENCRYPT, DECRYPT, ENCODE };
  const struct {
    const char* what;
    int call;
    quorin* q;
    size_t src_len;
    int status;
  } cases[] = {
      {"encrypt, no key", ENCRYPT, NULL, 3, QUORIN_NO_KEY},
      {"decrypt, no key", DECRYPT, NULL, 16, QUORIN_NO_KEY},
      {"decrypt, not whole blocks", DECRYPT, NULL, 15, QUORIN_BAD_CIPHERTEXT},
      {"encrypt raw, SIZE_MAX - 1", ENCRYPT, NULL, SIZE_MAX - 1, QUORIN_INVALID_ARGUMENT},
      {"encrypt raw, SIZE_MAX - 15", ENCRYPT, NULL, SIZE_MAX - 15, QUORIN_INVALID_ARGUMENT},
      {"encrypt armoured, SIZE_MAX / 4 * 3", ENCRYPT, NULL, SIZE_MAX / 4 * 3,
       QUORIN_INVALID_ARGUMENT},
      {"encode, SIZE_MAX - 1", ENCODE, NULL, SIZE_MAX - 1, QUORIN_INVALID_ARGUMENT},
      {"encode, SIZE_MAX / 4 * 3", ENCODE, NULL, SIZE_MAX / 4 * 3, QUORIN_INVALID_ARGUMENT},
  };
  quorin* handles[] = {unkeyed, unkeyed, raw, raw, raw, text, NULL, NULL};
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    quorin* q = handles[i];
    for (int query = 0; query <= 1; ++query) {
      size_t dst_len = 12345;
      uint8_t* out = query ? NULL : dst;
      int status;
      if (cases[i].call == ENCRYPT)
        status = quorin_encrypt_string(q, src, cases[i].src_len, out, &dst_len);
      else if (cases[i].call == DECRYPT)
        status = quorin_decrypt_string(q, src, cases[i].src_len, out, &dst_len);
      else
        status = quorin_encode(src, cases[i].src_len, (char*)out, &dst_len);
      /* A size query of a keyless instance is answered: the size does not need a key. */
      const int expected =
          query && cases[i].status != QUORIN_INVALID_ARGUMENT ? QUORIN_OK : cases[i].status;
      if (status != expected || (status != QUORIN_OK && dst_len != 12345))
        fprintf(stderr, "  case: %s%s\n", cases[i].what, query ? " (size query)" : "");
      CHECK(status == expected);
      CHECK(status == QUORIN_OK || dst_len == 12345);
    }
  }
  quorin_free(unkeyed);
  quorin_free(raw);
  quorin_free(text);
}

int main(void) {
  test_properties();
  test_published_vectors();
  test_keying_and_refusals();
  test_buffer();
  test_blocks();
  test_strings();
  test_refusals_keep_dst_len();
  test_files();
  test_mac_and_armour();
  return check_summary();
}
