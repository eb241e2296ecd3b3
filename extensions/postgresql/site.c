/* What a call site keeps from one row to the next, and gives back when the
 * statement's memory goes, normally or by an error. */
#include "quorin_pg.h"

void* quorin_pg_site(FunctionCallInfo fcinfo, size_t size, void (*release)(void*)) {
  MemoryContextCallback* callback;
  void* site = fcinfo->flinfo->fn_extra;

  if (site != NULL) return site;
  site = MemoryContextAllocZero(fcinfo->flinfo->fn_mcxt, size);
  callback = MemoryContextAllocZero(fcinfo->flinfo->fn_mcxt, sizeof(MemoryContextCallback));
  callback->func = release;
  callback->arg = site;
  MemoryContextRegisterResetCallback(fcinfo->flinfo->fn_mcxt, callback);
  fcinfo->flinfo->fn_extra = site;
  return site;
}
