// Class descriptors, published properties and the component palette.
//
// A class descriptor tells the framework everything it needs to work with a
// component class it does not otherwise know: its name, how to create an
// instance with an owner, and its published properties. Enumerated properties
// are read and written as ordinals and shown by enumerator name.
//
// Registering, unregistering and looking up classes may be done from any
// thread; one lock serialises them (they are not on any hot path).
#pragma once

#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <typeinfo>
#include <vector>

#include "quorin/framework/Component.h"
#include "quorin/framework/Export.h"

namespace framework {

struct FRAMEWORK_API TPropInfo {
  std::string Name;
  std::string TypeName;
  std::vector<std::string> EnumNames;  // in ordinal order
  std::function<int(const TComponent&)> GetOrd;
  std::function<void(TComponent&, int)> SetOrd;

  // The enumerator name of an ordinal, or an empty string for one outside the type.
  std::string EnumName(int Ordinal) const;
  // The ordinal of an enumerator name (case-sensitive), or -1.
  int EnumValue(std::string_view Enumerator) const;
};

struct FRAMEWORK_API TComponentClass {
  std::string ClassName;
  const std::type_info* Type =
      nullptr;  // typeid of the C++ class, to find the class of an instance
  std::function<TComponent*(TComponent* AOwner)> Create;
  std::vector<TPropInfo> Properties;  // in published order

  const TPropInfo* FindProperty(std::string_view PropName) const;
};

struct FRAMEWORK_API TPalettePage {
  std::string Name;
  std::vector<const TComponentClass*> Classes;  // in registration order
};

// Puts the classes on the named palette page (created on first use) and into
// the class registry. Registering a class again is harmless; a different class
// under a name already taken throws EComponentError.
FRAMEWORK_API void RegisterComponents(const std::string& Page,
                                      std::initializer_list<const TComponentClass*> Classes);
// Takes the class off the palette and out of the registry, e.g. before the
// package that holds its descriptor is unloaded. Empty pages disappear.
FRAMEWORK_API void UnregisterComponentClass(const TComponentClass* Class);

// The pages in the order they were first used. A class pointer stays valid
// only while the package that registered it stays loaded.
FRAMEWORK_API std::vector<TPalettePage> PalettePages();
FRAMEWORK_API const TComponentClass* FindComponentClass(std::string_view ClassName);
// The registered class of an instance, or nullptr.
FRAMEWORK_API const TComponentClass* ClassOf(const TComponent& Instance);

}  // namespace framework
