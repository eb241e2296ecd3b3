// Must not compile: the 1.10 component has no CBC-MAC read-out.
#include "quorin/Rc6.h"

int main() {
  Rc6::TQuorin q(nullptr);
  Rc6::TBlock mac;
  return q.CBCMACBlock(mac);
}
