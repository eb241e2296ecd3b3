// The command line as UTF-8 strings, whatever the platform: argv itself on
// POSIX; on Windows the wide command line converted, since main's argv is in
// the ANSI code page, which cannot hold every file name.
#pragma once

#include "quorin/platform/Environment.h"

namespace quorin {

using Arguments = platform::CommandLine;

}  // namespace quorin
