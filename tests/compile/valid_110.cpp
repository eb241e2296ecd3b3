// Compiles against the 1.10 header: the control for the compile-failure tests.
#include "quorin/Rc6.h"

int main() {
  Rc6::TQuorin q(nullptr);
  std::int32_t count = 16;
  return q.EncryptBuffer(count);
}
