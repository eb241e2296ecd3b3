// Text forms: the components a form owns, with their published properties.
//
//   object Quorin1: TQuorin
//     CipherMode = CBC
//     KeySize = Large256
//     StringMode = smNormal
//   end
//
// Every published property is written, by enumerator name. Reading recreates
// the components through the class registry; a form that cannot be read is
// refused whole with an EFormError naming the line, and nothing of it is left
// behind in the owner.
#pragma once

#include <string>

#include "quorin/framework/Component.h"
#include "quorin/framework/Exceptions.h"
#include "quorin/framework/Export.h"

namespace framework {

class FRAMEWORK_API EFormError : public EComponentError {
 public:
  EFormError(int Line, const std::string& Message);
  int Line;  // 1-based; 0 when the error concerns no line
};

// The owner's components as form text. Throws EComponentError for a component
// without a name or whose class is not registered.
FRAMEWORK_API std::string WriteFormText(const TComponent& Owner);
// Creates the components the text describes, owned by Owner.
FRAMEWORK_API void ReadFormText(TComponent& Owner, const std::string& Text);

// The same through a file. I/O failures raise EStreamError.
FRAMEWORK_API void SaveForm(const TComponent& Owner, const std::string& FileName);
FRAMEWORK_API void LoadForm(TComponent& Owner, const std::string& FileName);

}  // namespace framework
