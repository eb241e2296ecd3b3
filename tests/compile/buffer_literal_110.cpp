// Must not compile: the 1.10 buffer operations take the caller's Count variable.
#include "quorin/Rc6.h"

int main() {
  Rc6::TQuorin q(nullptr);
  return q.DecryptBuffer(16);
}
