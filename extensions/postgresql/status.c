/* The C library's failures as SQL errors. Each status gets the SQLSTATE a
 * caller would test for: bad arguments, data that is not what it claims to
 * be, a secret that does not open it, limits. */
#include "quorin_pg.h"

#include "utils/memutils.h"

static int sqlstate_of(int status) {
  switch (status) {
    case QUORIN_BAD_CIPHERTEXT:
    case QUORIN_BAD_PADDING:
    case QUORIN_NOT_SEALED:
    case QUORIN_UNSUPPORTED_VERSION:
    case QUORIN_BAD_HEADER:
    case QUORIN_TRUNCATED:
    case QUORIN_BAD_ARMOUR:
      return ERRCODE_INVALID_BINARY_REPRESENTATION;
    case QUORIN_AUTHENTICATION:
    case QUORIN_SECRET_KIND:
      return ERRCODE_INVALID_AUTHORIZATION_SPECIFICATION;
    case QUORIN_COST_LIMIT:
      return ERRCODE_PROGRAM_LIMIT_EXCEEDED;
    case QUORIN_NO_MEMORY:
      return ERRCODE_OUT_OF_MEMORY;
    case QUORIN_IO_ERROR:
      return ERRCODE_IO_ERROR;
    case QUORIN_INTERNAL_ERROR:
      return ERRCODE_INTERNAL_ERROR;
    default:
      return ERRCODE_INVALID_PARAMETER_VALUE;
  }
}

void quorin_pg_fail(const char* function, int status) {
  const char* message = quorin_last_error();

  if (message == NULL || message[0] == '\0') message = quorin_status_name(status);
  ereport(ERROR, (errcode(sqlstate_of(status)), errmsg("%s: %s", function, message),
                  errdetail("status %s", quorin_status_name(status)), errhidestmt(true)));
}

void quorin_pg_refuse(const char* function, const char* message) {
  ereport(ERROR, (errcode(ERRCODE_INVALID_PARAMETER_VALUE), errmsg("%s: %s", function, message),
                  errhidestmt(true)));
}

void quorin_pg_check(const char* function, int status) {
  if (status != QUORIN_OK) quorin_pg_fail(function, status);
}

void quorin_pg_check_size(const char* function, size_t size) {
  if (size > MaxAllocSize - VARHDRSZ)
    ereport(ERROR, (errcode(ERRCODE_PROGRAM_LIMIT_EXCEEDED),
                    errmsg("%s: the result would exceed 1 GB", function)));
}
