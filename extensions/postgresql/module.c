/* The extension's module: its magic block and its version. */
#include "quorin_pg.h"

#include "utils/builtins.h"

PG_MODULE_MAGIC;

PG_FUNCTION_INFO_V1(pg_quorin_version);

Datum pg_quorin_version(PG_FUNCTION_ARGS) {
  PG_RETURN_TEXT_P(cstring_to_text(quorin_version()));
}
