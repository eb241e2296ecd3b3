/* Sealed values: sealing to recipients or a key file, opening with an
 * identity, an identities file or a key file. The set of secrets is made
 * once per query and made again only when the argument changes. */
#include "quorin_pg.h"

#include <string.h>

#include "catalog/pg_type.h"
#include "utils/array.h"
#include "utils/builtins.h"
#include "utils/memutils.h"

PG_FUNCTION_INFO_V1(pg_quorin_seal);
PG_FUNCTION_INFO_V1(pg_quorin_seal_keyfile);
PG_FUNCTION_INFO_V1(pg_quorin_open);
PG_FUNCTION_INFO_V1(pg_quorin_open_keyfile);
PG_FUNCTION_INFO_V1(pg_quorin_open_identityfile);

/* An identities file is text, one identity a line, and may list many. */
#define IDENTITY_FILE_MAX (1024 * 1024)

typedef enum SecretSource
{
	RECIPIENTS,
	IDENTITY,
	KEY_FILE,
	IDENTITY_FILE
} SecretSource;

typedef struct SealedSite
{
	quorin_secrets *secrets;
	bool		ready;
	QuorinSecret made_from;		/* the argument (or file) the set was made from */
	QuorinSecretFile file;
	MemoryContext context;
} SealedSite;

static void
release_site(void *arg)
{
	SealedSite *site = arg;

	quorin_secrets_free(site->secrets);
	site->secrets = NULL;
	quorin_pg_secret_wipe(&site->made_from);
	quorin_pg_secret_wipe(&site->file.secret);
}

static SealedSite *
site_of(FunctionCallInfo fcinfo)
{
	SealedSite *site = fcinfo->flinfo->fn_extra;
	MemoryContextCallback *callback;

	if (site != NULL)
		return site;
	site = MemoryContextAllocZero(fcinfo->flinfo->fn_mcxt, sizeof(SealedSite));
	site->context = fcinfo->flinfo->fn_mcxt;
	callback = MemoryContextAllocZero(site->context, sizeof(MemoryContextCallback));
	callback->func = release_site;
	callback->arg = site;
	MemoryContextRegisterResetCallback(site->context, callback);
	fcinfo->flinfo->fn_extra = site;
	return site;
}

static void
check(const char *function, int status)
{
	if (status != QUORIN_OK)
		quorin_pg_fail(function, status);
}

static void
add_recipients(const char *function, quorin_secrets *secrets, ArrayType *array)
{
	Datum	   *items;
	bool	   *nulls;
	int			count;

	if (ARR_NDIM(array) > 1)
		quorin_pg_refuse(function, "the recipients must be a one-dimensional array");
	deconstruct_array(array, TEXTOID, -1, false, TYPALIGN_INT, &items, &nulls, &count);
	if (count == 0)
		quorin_pg_refuse(function, "no recipients: give at least one \"quorin1...\"");
	for (int i = 0; i < count; i++)
	{
		const text *recipient;

		if (nulls[i])
			ereport(ERROR,
					(errcode(ERRCODE_NULL_VALUE_NOT_ALLOWED),
					 errmsg("%s: recipient %d is NULL", function, i + 1)));
		recipient = DatumGetTextPP(items[i]);
		check(function, quorin_secrets_add_recipient(secrets, VARDATA_ANY(recipient),
													 VARSIZE_ANY_EXHDR(recipient)));
	}
}

/* The set of secrets for this row's argument 1. */
static const quorin_secrets *
secrets_of(FunctionCallInfo fcinfo, const char *function, SecretSource source)
{
	SealedSite *site = site_of(fcinfo);
	const uint8 *bytes;
	size_t		len;

	if (source == KEY_FILE || source == IDENTITY_FILE)
	{
		const QuorinSecret *file = quorin_pg_secret_file(
			&site->file, site->context, function, PG_GETARG_TEXT_PP(1),
			source == KEY_FILE ? QUORIN_KEY_FILE_MAX : IDENTITY_FILE_MAX);

		bytes = file->bytes;
		len = file->len;
	}
	else
	{
		const struct varlena *argument = PG_GETARG_VARLENA_PP(1);

		bytes = (const uint8 *) VARDATA_ANY(argument);
		len = VARSIZE_ANY_EXHDR(argument);
	}
	if (site->ready && site->made_from.len == len && memcmp(site->made_from.bytes, bytes, len) == 0)
		return site->secrets;

	site->ready = false;
	quorin_secrets_free(site->secrets);
	site->secrets = quorin_secrets_new();
	if (site->secrets == NULL)
		ereport(ERROR, (errcode(ERRCODE_OUT_OF_MEMORY), errmsg("out of memory")));
	switch (source)
	{
		case RECIPIENTS:
			add_recipients(function, site->secrets, PG_GETARG_ARRAYTYPE_P(1));
			break;
		case IDENTITY:
			check(function, quorin_secrets_add_identity(site->secrets, (const char *) bytes, len));
			break;
		case KEY_FILE:
			check(function, quorin_secrets_add_key_file(site->secrets, bytes, len));
			break;
		case IDENTITY_FILE:
			check(function,
				  quorin_secrets_add_identities(site->secrets, (const char *) bytes, len));
			break;
	}
	quorin_pg_secret_set(&site->made_from, site->context, bytes, len);
	site->ready = true;
	return site->secrets;
}

static void
check_size(const char *function, size_t size)
{
	if (size > MaxAllocSize - VARHDRSZ)
		ereport(ERROR,
				(errcode(ERRCODE_PROGRAM_LIMIT_EXCEEDED),
				 errmsg("%s: the result would exceed 1 GB", function)));
}

static Datum
seal(FunctionCallInfo fcinfo, const char *function, SecretSource source)
{
	const bytea *value = PG_GETARG_BYTEA_PP(0);
	const quorin_secrets *secrets = secrets_of(fcinfo, function, source);
	const uint8 *src = (const uint8 *) VARDATA_ANY(value);
	const size_t len = VARSIZE_ANY_EXHDR(value);
	size_t		room = 0;
	bytea	   *out;

	check(function, quorin_seal_buffer(secrets, NULL, src, len, NULL, &room));
	check_size(function, room);
	out = palloc(VARHDRSZ + room);
	check(function, quorin_seal_buffer(secrets, NULL, src, len, (uint8 *) VARDATA(out), &room));
	SET_VARSIZE(out, VARHDRSZ + room);
	PG_RETURN_BYTEA_P(out);
}

static Datum
open_value(FunctionCallInfo fcinfo, const char *function, SecretSource source)
{
	const bytea *value = PG_GETARG_BYTEA_PP(0);
	const quorin_secrets *secrets = secrets_of(fcinfo, function, source);
	const uint8 *src = (const uint8 *) VARDATA_ANY(value);
	const size_t len = VARSIZE_ANY_EXHDR(value);
	size_t		room = 0;
	bytea	   *out;

	check(function, quorin_open_buffer(secrets, NULL, src, len, NULL, &room));
	check_size(function, room);
	out = palloc(VARHDRSZ + room + 1);
	check(function, quorin_open_buffer(secrets, NULL, src, len, (uint8 *) VARDATA(out), &room));
	SET_VARSIZE(out, VARHDRSZ + room);
	PG_RETURN_BYTEA_P(out);
}

Datum
pg_quorin_seal(PG_FUNCTION_ARGS)
{
	return seal(fcinfo, "quorin_seal", RECIPIENTS);
}

Datum
pg_quorin_seal_keyfile(PG_FUNCTION_ARGS)
{
	return seal(fcinfo, "quorin_seal_keyfile", KEY_FILE);
}

Datum
pg_quorin_open(PG_FUNCTION_ARGS)
{
	return open_value(fcinfo, "quorin_open", IDENTITY);
}

Datum
pg_quorin_open_keyfile(PG_FUNCTION_ARGS)
{
	return open_value(fcinfo, "quorin_open_keyfile", KEY_FILE);
}

Datum
pg_quorin_open_identityfile(PG_FUNCTION_ARGS)
{
	return open_value(fcinfo, "quorin_open_identityfile", IDENTITY_FILE);
}
