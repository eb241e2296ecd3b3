// Fuzzes the text form reader with TQuorin registered: any text is either
// read whole or refused with a form error, leaving the owner as it was.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "quorin/Rc6.h"
#include "quorin/framework/Forms.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool registered = (Rc6::Register(), true);
  (void)registered;
  framework::TComponent owner(nullptr);
  const std::string text(reinterpret_cast<const char*>(data), size);
  try {
    framework::ReadFormText(owner, text);
  } catch (const framework::EComponentError&) {
    if (owner.ComponentCount() != 0) std::abort();
    return 0;
  }
  // What was read writes back and reads again to the same text.
  const std::string written = framework::WriteFormText(owner);
  framework::TComponent again(nullptr);
  framework::ReadFormText(again, written);
  if (framework::WriteFormText(again) != written) std::abort();
  return 0;
}
