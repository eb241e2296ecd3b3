// Must not compile: the 1.10 component has no stream operations.
#include "quorin/Rc6.h"

int main() {
  Rc6::TQuorin q(nullptr);
  framework::TMemoryStream a, b;
  return q.EncryptStream(a, b);
}
