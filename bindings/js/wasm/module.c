/* The WebAssembly module holds the C interface and nothing else: its
 * functions are exported by name (exports.json, from the pinned symbol
 * lists), so this unit only gives the linker a translation unit to start from. */
#include "quorin/quorin.h"
