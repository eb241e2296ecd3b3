#include "Errors.h"

#include <cstdio>

namespace quorin {

void Note(const std::string& message) {
  std::fprintf(stderr, "quorin: note: %s\n", message.c_str());
}

}  // namespace quorin
