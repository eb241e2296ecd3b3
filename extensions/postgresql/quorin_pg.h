/* What the extension's files share: reporting the C library's failures as
 * SQL errors, keys held for the length of a query, and secret files. */
#ifndef QUORIN_PG_H
#define QUORIN_PG_H

#include "postgres.h"

#include "fmgr.h"

#include "quorin/quorin.h"

/* Raises the SQL error for a status of the C library, with its message.
 * The statement is kept out of the server log: it may hold a key. */
pg_attribute_noreturn() void quorin_pg_fail(const char* function, int status);

/* quorin_pg_fail unless status is QUORIN_OK. */
void quorin_pg_check(const char* function, int status);

/* Refuses a result of more bytes than a value may hold (1 GB). */
void quorin_pg_check_size(const char* function, size_t size);

/* Raises an invalid_parameter_value error, the statement kept out of the log. */
pg_attribute_noreturn() void quorin_pg_refuse(const char* function, const char* message);

/* The state a call site keeps from row to row (a keyed instance, a set of
 * secrets): size bytes, zeroed, in flinfo's context, made on the first
 * call; release runs when the context goes (the statement ends or fails). */
void* quorin_pg_site(FunctionCallInfo fcinfo, size_t size, void (*release)(void*));

/* Bytes that live as long as a memory context and are wiped when it goes:
 * a key, or the text of a secret file. */
typedef struct QuorinSecret {
  uint8* bytes;
  size_t len;
} QuorinSecret;

/* Copies len bytes into s, in context, replacing (and wiping) what s held. */
void quorin_pg_secret_set(QuorinSecret* s, MemoryContext context, const void* bytes, size_t len);
void quorin_pg_secret_wipe(QuorinSecret* s);

/* A secret file read once per query: its path and its bytes, kept in the
 * call site's context, so that a file replaced between statements is read
 * again but one replaced during a statement is not. */
typedef struct QuorinSecretFile {
  char* path;
  QuorinSecret secret;
  uint64 reads; /* how many times a file was read: what is made from it is stale when it grows */
} QuorinSecretFile;

/* The bytes of the file at path (absolute; a regular file of 1 to max_len
 * bytes), from the cache when it holds that path. */
const QuorinSecret* quorin_pg_secret_file(QuorinSecretFile* cache, MemoryContext context,
                                          const char* function, const text* path, size_t max_len);

#endif
