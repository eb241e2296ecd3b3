// Marks the framework's public symbols; everything else in the library stays hidden.
#pragma once

#include "quorin/Export.h"

#if defined(framework_EXPORTS)
#define FRAMEWORK_API QUORIN_EXPORT
#else
#define FRAMEWORK_API QUORIN_IMPORT
#endif
