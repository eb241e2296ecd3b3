/* The component's string operations, one value at a time: raw bytes and
 * armoured text in any mode, and the CBC-MAC. Each call loads the IV
 * afresh, so that every value stands alone, as a stored column's values
 * were written. The keyed instance is kept for the query and keyed again
 * only when the key, mode or key size changes from one row to the next. */
#include "quorin_pg.h"

#include <string.h>

#include "utils/builtins.h"

PG_FUNCTION_INFO_V1(pg_quorin_encrypt);
PG_FUNCTION_INFO_V1(pg_quorin_decrypt);
PG_FUNCTION_INFO_V1(pg_quorin_encrypt_text);
PG_FUNCTION_INFO_V1(pg_quorin_decrypt_text);
PG_FUNCTION_INFO_V1(pg_quorin_mac);
PG_FUNCTION_INFO_V1(pg_quorin_encrypt_keyfile);
PG_FUNCTION_INFO_V1(pg_quorin_decrypt_keyfile);
PG_FUNCTION_INFO_V1(pg_quorin_encrypt_text_keyfile);
PG_FUNCTION_INFO_V1(pg_quorin_decrypt_text_keyfile);
PG_FUNCTION_INFO_V1(pg_quorin_mac_keyfile);

/* A key file for the component holds its raw bytes, as the tool reads them. */
#define KEY_FILE_MAX QUORIN_KEY_FILE_MAX

/* What one call site keeps between rows. */
typedef struct CipherSite {
  quorin* q;
  bool keyed;
  QuorinSecret key;
  quorin_mode mode;
  int key_bits;
  quorin_string_mode string_mode;
  QuorinSecretFile key_file;
  MemoryContext context;
} CipherSite;

typedef enum Direction { ENCRYPT, DECRYPT } Direction;

static void release_site(void* arg) {
  CipherSite* site = arg;

  quorin_free(site->q);
  site->q = NULL;
  quorin_pg_secret_wipe(&site->key);
  quorin_pg_secret_wipe(&site->key_file.secret);
}

static CipherSite* site_of(FunctionCallInfo fcinfo) {
  CipherSite* site = quorin_pg_site(fcinfo, sizeof(CipherSite), release_site);

  if (site->q == NULL) {
    site->context = fcinfo->flinfo->fn_mcxt;
    site->q = quorin_new();
    if (site->q == NULL) ereport(ERROR, (errcode(ERRCODE_OUT_OF_MEMORY), errmsg("out of memory")));
  }
  return site;
}

static quorin_mode mode_of(const char* function, const text* name) {
  static const char* const names[] = {"ecb", "cbc", "cfb", "ofb"};
  const char* chars = VARDATA_ANY(name);
  const size_t len = VARSIZE_ANY_EXHDR(name);

  for (int i = 0; i < 4; i++)
    if (len == 3 && pg_strncasecmp(chars, names[i], 3) == 0) return (quorin_mode)i;
  quorin_pg_refuse(function, "the mode must be ecb, cbc, cfb or ofb");
}

static void check_key_bits(const char* function, int32 key_bits) {
  if (key_bits != 128 && key_bits != 192 && key_bits != 256)
    quorin_pg_refuse(function, "the key size must be 128, 192 or 256 bits");
}

/* The site's instance keyed with key in mode, its IV loaded. An empty IV
 * is no IV: ECB needs none; the MAC takes it as zeros, as the tool does. */
static quorin* prepare(FunctionCallInfo fcinfo, const char* function, const uint8* key,
                       size_t key_len, quorin_mode mode, int32 key_bits,
                       quorin_string_mode string_mode, const bytea* iv, bool zero_iv) {
  CipherSite* site = site_of(fcinfo);
  const size_t iv_len = VARSIZE_ANY_EXHDR(iv);

  check_key_bits(function, key_bits);
  if (!site->keyed || site->mode != mode || site->key_bits != key_bits ||
      site->string_mode != string_mode || site->key.len != key_len ||
      memcmp(site->key.bytes, key, key_len) != 0) {
    site->keyed = false;
    quorin_pg_check(function, quorin_set_mode(site->q, mode));
    quorin_pg_check(function, quorin_set_key_size(site->q, (quorin_key_size)key_bits));
    quorin_pg_check(function, quorin_set_string_mode(site->q, string_mode));
    quorin_pg_check(function, quorin_initialise(site->q, key, key_len));
    quorin_pg_secret_set(&site->key, site->context, key, key_len);
    site->mode = mode;
    site->key_bits = key_bits;
    site->string_mode = string_mode;
    site->keyed = true;
  }
  if (mode == QUORIN_ECB) return site->q;
  if (iv_len == 0 && !zero_iv) quorin_pg_refuse(function, "cbc, cfb and ofb need an IV (16 bytes)");
  quorin_pg_check(function, quorin_load_iv(site->q, (const uint8*)VARDATA_ANY(iv), iv_len));
  return site->q;
}

/* One value through the instance: a bytea result, or text when armoured. */
static struct varlena* transform(const char* function, quorin* q, Direction direction,
                                 bool armoured, const struct varlena* value) {
  const uint8* src = (const uint8*)VARDATA_ANY(value);
  const size_t len = VARSIZE_ANY_EXHDR(value);
  size_t room;
  struct varlena* out;
  int status;

  if (direction == ENCRYPT) {
    const size_t padded = len / 16 * 16 + 16;

    room = armoured ? (padded + 2) / 3 * 4 + 1 : padded;
  } else
    room = armoured ? len / 4 * 3 + len % 4 * 3 / 4 : len;
  quorin_pg_check_size(function, room);
  out = palloc(VARHDRSZ + room + 1);
  status = direction == ENCRYPT ? quorin_encrypt_string(q, src, len, (uint8*)VARDATA(out), &room)
                                : quorin_decrypt_string(q, src, len, (uint8*)VARDATA(out), &room);
  if (status != QUORIN_OK) quorin_pg_fail(function, status);
  SET_VARSIZE(out, VARHDRSZ + room);
  return out;
}

/* The instance keyed with argument 1 (a key, or a key file's path). */
static quorin* keyed(FunctionCallInfo fcinfo, const char* function, bool key_file, quorin_mode mode,
                     int32 key_bits, quorin_string_mode string_mode, const bytea* iv,
                     bool zero_iv) {
  if (key_file) {
    CipherSite* site = site_of(fcinfo);
    const QuorinSecret* key = quorin_pg_secret_file(&site->key_file, site->context, function,
                                                    PG_GETARG_TEXT_PP(1), KEY_FILE_MAX);

    return prepare(fcinfo, function, key->bytes, key->len, mode, key_bits, string_mode, iv,
                   zero_iv);
  } else {
    const bytea* key = PG_GETARG_BYTEA_PP(1);

    return prepare(fcinfo, function, (const uint8*)VARDATA_ANY(key), VARSIZE_ANY_EXHDR(key), mode,
                   key_bits, string_mode, iv, zero_iv);
  }
}

/* The component's forms share one shape: (value, key, iv, mode, key_bits). */
static Datum run(FunctionCallInfo fcinfo, const char* function, Direction direction, bool armoured,
                 bool key_file) {
  const struct varlena* value = PG_GETARG_VARLENA_PP(0);
  const quorin_mode mode = mode_of(function, PG_GETARG_TEXT_PP(3));
  quorin* q =
      keyed(fcinfo, function, key_file, mode, PG_GETARG_INT32(4),
            armoured ? QUORIN_STRING_ENCODE : QUORIN_STRING_NORMAL, PG_GETARG_BYTEA_PP(2), false);

  PG_RETURN_POINTER(transform(function, q, direction, armoured, value));
}

/* The CBC-MAC of (value, key, iv, key_bits): the chain after encrypting the
 * value, padded, in CBC; without an IV, the zero IV. */
static Datum mac(FunctionCallInfo fcinfo, const char* function, bool key_file) {
  const bytea* value = PG_GETARG_BYTEA_PP(0);
  quorin* q = keyed(fcinfo, function, key_file, QUORIN_CBC, PG_GETARG_INT32(3),
                    QUORIN_STRING_NORMAL, PG_GETARG_BYTEA_PP(2), true);
  bytea* out;

  pfree(transform(function, q, ENCRYPT, false, value));
  out = palloc(VARHDRSZ + QUORIN_BLOCK_SIZE);
  quorin_pg_check(function, quorin_mac(q, (uint8*)VARDATA(out)));
  SET_VARSIZE(out, VARHDRSZ + QUORIN_BLOCK_SIZE);
  PG_RETURN_BYTEA_P(out);
}

Datum pg_quorin_encrypt(PG_FUNCTION_ARGS) {
  return run(fcinfo, "quorin_encrypt", ENCRYPT, false, false);
}

Datum pg_quorin_decrypt(PG_FUNCTION_ARGS) {
  return run(fcinfo, "quorin_decrypt", DECRYPT, false, false);
}

Datum pg_quorin_encrypt_text(PG_FUNCTION_ARGS) {
  return run(fcinfo, "quorin_encrypt_text", ENCRYPT, true, false);
}

Datum pg_quorin_decrypt_text(PG_FUNCTION_ARGS) {
  return run(fcinfo, "quorin_decrypt_text", DECRYPT, true, false);
}

Datum pg_quorin_mac(PG_FUNCTION_ARGS) {
  return mac(fcinfo, "quorin_mac", false);
}

Datum pg_quorin_encrypt_keyfile(PG_FUNCTION_ARGS) {
  return run(fcinfo, "quorin_encrypt_keyfile", ENCRYPT, false, true);
}

Datum pg_quorin_decrypt_keyfile(PG_FUNCTION_ARGS) {
  return run(fcinfo, "quorin_decrypt_keyfile", DECRYPT, false, true);
}

Datum pg_quorin_encrypt_text_keyfile(PG_FUNCTION_ARGS) {
  return run(fcinfo, "quorin_encrypt_text_keyfile", ENCRYPT, true, true);
}

Datum pg_quorin_decrypt_text_keyfile(PG_FUNCTION_ARGS) {
  return run(fcinfo, "quorin_decrypt_text_keyfile", DECRYPT, true, true);
}

Datum pg_quorin_mac_keyfile(PG_FUNCTION_ARGS) {
  return mac(fcinfo, "quorin_mac_keyfile", true);
}
