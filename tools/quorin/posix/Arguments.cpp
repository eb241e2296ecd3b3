#include "../Arguments.h"

namespace quorin {

Arguments::Arguments(int argc, char** argv) : pointers_(argv, argv + argc) {}

}  // namespace quorin
