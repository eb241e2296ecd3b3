#include "../SettleDisk.h"

#include <unistd.h>

void SettleDisk() {
  ::sync();
}
