/* The WebAssembly module is the C interface, its functions exported by
 * name from the pinned symbol lists. The package's JavaScript makes, fills
 * and reads the C structs through the interface's accessors, never at
 * offsets of its own, so a change of layout cannot break it silently. This
 * file gives the link its one translation unit. */
#include "quorin/quorin.h"
