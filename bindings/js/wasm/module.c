/* The WebAssembly module holds the C interface (its functions exported by
 * name, from the pinned symbol lists) and one function of its own: where
 * the package's JavaScript finds each field of the structs it fills and
 * reads, as this header compiles them, so that a change of layout moves
 * the binding with it instead of breaking it silently. */
#include <stddef.h>
#include <stdio.h>

#include "quorin/quorin.h"

#define FIELD(type, field) "\"" #field "\":%zu,"

const char* quorin_js_layout(void);

const char* quorin_js_layout(void) {
  static char text[512];
  if (text[0] == '\0')
    snprintf(text, sizeof text,
             "{\"seal\":{" FIELD(s, mode) FIELD(s, key_size) FIELD(s, passes) FIELD(s, memory_bytes)
                 FIELD(s, armour) "\"size\":%zu},"
             "\"open\":{" FIELD(o, max_passes) FIELD(o, max_memory_bytes) "\"size\":%zu},"
             "\"info\":{" FIELD(i, version) FIELD(i, mode) FIELD(i, key_size) FIELD(i, kinds)
                 FIELD(i, recipients) FIELD(i, passes) FIELD(i, memory_bytes)
                     FIELD(i, chunk_bytes) "\"size\":%zu}}",
             offsetof(quorin_seal_options, mode), offsetof(quorin_seal_options, key_size),
             offsetof(quorin_seal_options, passes), offsetof(quorin_seal_options, memory_bytes),
             offsetof(quorin_seal_options, armour), sizeof(quorin_seal_options),
             offsetof(quorin_open_options, max_passes),
             offsetof(quorin_open_options, max_memory_bytes), sizeof(quorin_open_options),
             offsetof(quorin_sealed_info, version), offsetof(quorin_sealed_info, mode),
             offsetof(quorin_sealed_info, key_size), offsetof(quorin_sealed_info, kinds),
             offsetof(quorin_sealed_info, recipients), offsetof(quorin_sealed_info, passes),
             offsetof(quorin_sealed_info, memory_bytes), offsetof(quorin_sealed_info, chunk_bytes),
             sizeof(quorin_sealed_info));
  return text;
}
