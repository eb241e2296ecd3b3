#include "quorin/platform/Environment.h"

namespace quorin::platform {

CommandLine::CommandLine(int argc, char** argv) : pointers_(argv, argv + argc) {}

}  // namespace quorin::platform
