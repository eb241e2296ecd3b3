// Design-time registration: puts the component on its palette page.
#include "quorin/Rc6.h"

namespace Rc6 {
inline namespace QUORIN_PACKAGE_NAMESPACE {

void Register() {
  framework::RegisterComponents("Vantrel", {&TQuorin::ComponentClass()});
}

}  // namespace QUORIN_PACKAGE_NAMESPACE
}  // namespace Rc6
