/* Sealed values: sealing to recipients or a key file, opening with an
 * identity, an identities file or a key file. The set of secrets is made
 * once per query and made again only when the argument changes. */
#include "quorin_pg.h"

#include <string.h>

#include "catalog/pg_type.h"
#include "utils/array.h"
#include "utils/builtins.h"

PG_FUNCTION_INFO_V1(pg_quorin_seal);
PG_FUNCTION_INFO_V1(pg_quorin_seal_keyfile);
PG_FUNCTION_INFO_V1(pg_quorin_open);
PG_FUNCTION_INFO_V1(pg_quorin_open_keyfile);
PG_FUNCTION_INFO_V1(pg_quorin_open_identityfile);

/* An identities file is text, one identity a line, and may list many. */
#define IDENTITY_FILE_MAX (1024 * 1024)

typedef enum SecretSource { RECIPIENTS, IDENTITY, KEY_FILE, IDENTITY_FILE } SecretSource;

typedef struct SealedSite {
  quorin_secrets* secrets;
  bool ready;
  QuorinSecret made_from; /* the argument the set was made from */
  QuorinSecretFile file;
  uint64 made_from_read; /* or the read of the file it was made from */
  MemoryContext context;
} SealedSite;

static void release_site(void* arg) {
  SealedSite* site = arg;

  quorin_secrets_free(site->secrets);
  site->secrets = NULL;
  quorin_pg_secret_wipe(&site->made_from);
  quorin_pg_secret_wipe(&site->file.secret);
}

static SealedSite* site_of(FunctionCallInfo fcinfo) {
  SealedSite* site = quorin_pg_site(fcinfo, sizeof(SealedSite), release_site);

  site->context = fcinfo->flinfo->fn_mcxt;
  return site;
}

static void add_recipients(const char* function, quorin_secrets* secrets, ArrayType* array) {
  Datum* items;
  bool* nulls;
  int count;

  if (ARR_NDIM(array) > 1)
    quorin_pg_refuse(function, "the recipients must be a one-dimensional array");
  deconstruct_array(array, TEXTOID, -1, false, TYPALIGN_INT, &items, &nulls, &count);
  if (count == 0) quorin_pg_refuse(function, "no recipients: give at least one \"quorin1...\"");
  for (int i = 0; i < count; i++) {
    const text* recipient;

    if (nulls[i])
      ereport(ERROR, (errcode(ERRCODE_NULL_VALUE_NOT_ALLOWED),
                      errmsg("%s: recipient %d is NULL", function, i + 1)));
    recipient = DatumGetTextPP(items[i]);
    quorin_pg_check(function, quorin_secrets_add_recipient(secrets, VARDATA_ANY(recipient),
                                                           VARSIZE_ANY_EXHDR(recipient)));
  }
}

/* The set of secrets for this row's argument 1. */
static const quorin_secrets* secrets_of(FunctionCallInfo fcinfo, const char* function,
                                        SecretSource source) {
  SealedSite* site = site_of(fcinfo);
  const bool from_file = source == KEY_FILE || source == IDENTITY_FILE;
  const uint8* bytes;
  size_t len;

  if (from_file) {
    const QuorinSecret* file =
        quorin_pg_secret_file(&site->file, site->context, function, PG_GETARG_TEXT_PP(1),
                              source == KEY_FILE ? QUORIN_KEY_FILE_MAX : IDENTITY_FILE_MAX);

    if (site->ready && site->made_from_read == site->file.reads) return site->secrets;
    bytes = file->bytes;
    len = file->len;
  } else {
    const struct varlena* argument = PG_GETARG_VARLENA_PP(1);

    bytes = (const uint8*)VARDATA_ANY(argument);
    len = VARSIZE_ANY_EXHDR(argument);
    if (site->ready && site->made_from.len == len && memcmp(site->made_from.bytes, bytes, len) == 0)
      return site->secrets;
  }

  site->ready = false;
  quorin_secrets_free(site->secrets);
  site->secrets = quorin_secrets_new();
  if (site->secrets == NULL)
    ereport(ERROR, (errcode(ERRCODE_OUT_OF_MEMORY), errmsg("out of memory")));
  switch (source) {
    case RECIPIENTS:
      add_recipients(function, site->secrets, PG_GETARG_ARRAYTYPE_P(1));
      break;
    case IDENTITY:
      quorin_pg_check(function,
                      quorin_secrets_add_identity(site->secrets, (const char*)bytes, len));
      break;
    case KEY_FILE:
      quorin_pg_check(function, quorin_secrets_add_key_file(site->secrets, bytes, len));
      break;
    case IDENTITY_FILE:
      quorin_pg_check(function,
                      quorin_secrets_add_identities(site->secrets, (const char*)bytes, len));
      break;
  }
  if (from_file)
    site->made_from_read = site->file.reads;
  else
    quorin_pg_secret_set(&site->made_from, site->context, bytes, len);
  site->ready = true;
  return site->secrets;
}

static int through(bool sealing, const quorin_secrets* secrets, const uint8* src, size_t len,
                   uint8* dst, size_t* room) {
  return sealing ? quorin_seal_buffer(secrets, NULL, src, len, dst, room)
                 : quorin_open_buffer(secrets, NULL, src, len, dst, room);
}

/* Seals or opens argument 0: sealing is told the exact size, opening an
 * upper bound, before either writes. */
static Datum run(FunctionCallInfo fcinfo, const char* function, bool sealing, SecretSource source) {
  const bytea* value = PG_GETARG_BYTEA_PP(0);
  const quorin_secrets* secrets = secrets_of(fcinfo, function, source);
  const uint8* src = (const uint8*)VARDATA_ANY(value);
  const size_t len = VARSIZE_ANY_EXHDR(value);
  size_t room = 0;
  bytea* out;

  quorin_pg_check(function, through(sealing, secrets, src, len, NULL, &room));
  quorin_pg_check_size(function, room);
  out = palloc(VARHDRSZ + room + 1);
  quorin_pg_check(function, through(sealing, secrets, src, len, (uint8*)VARDATA(out), &room));
  SET_VARSIZE(out, VARHDRSZ + room);
  PG_RETURN_BYTEA_P(out);
}

Datum pg_quorin_seal(PG_FUNCTION_ARGS) {
  return run(fcinfo, "quorin_seal", true, RECIPIENTS);
}

Datum pg_quorin_seal_keyfile(PG_FUNCTION_ARGS) {
  return run(fcinfo, "quorin_seal_keyfile", true, KEY_FILE);
}

Datum pg_quorin_open(PG_FUNCTION_ARGS) {
  return run(fcinfo, "quorin_open", false, IDENTITY);
}

Datum pg_quorin_open_keyfile(PG_FUNCTION_ARGS) {
  return run(fcinfo, "quorin_open_keyfile", false, KEY_FILE);
}

Datum pg_quorin_open_identityfile(PG_FUNCTION_ARGS) {
  return run(fcinfo, "quorin_open_identityfile", false, IDENTITY_FILE);
}
