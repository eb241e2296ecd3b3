// What a quorin handle holds: one instance of the component.
#pragma once

#include "quorin/Rc6.h"

struct quorin {
  Rc6::TQuorin component{nullptr};
};
