// The process-wide palette and class registry of the host framework.
#include "quorin/framework/ClassRegistry.h"

#include <algorithm>
#include <typeindex>

#include "PackageRegistry.h"
#include "quorin/framework/Exceptions.h"

namespace framework {
namespace {

std::vector<TPalettePage>& Palette() {
  static std::vector<TPalettePage> pages;
  return pages;
}

}  // namespace

std::recursive_mutex& RegistryMutex() {
  static std::recursive_mutex mutex;
  return mutex;
}

std::string TPropInfo::EnumName(int Ordinal) const {
  if (Ordinal < 0 || static_cast<std::size_t>(Ordinal) >= EnumNames.size()) return {};
  return EnumNames[static_cast<std::size_t>(Ordinal)];
}

int TPropInfo::EnumValue(std::string_view Enumerator) const {
  auto it = std::find(EnumNames.begin(), EnumNames.end(), Enumerator);
  return it == EnumNames.end() ? -1 : static_cast<int>(it - EnumNames.begin());
}

const TPropInfo* TComponentClass::FindProperty(std::string_view PropName) const {
  for (const TPropInfo& p : Properties)
    if (p.Name == PropName) return &p;
  return nullptr;
}

void RegisterComponents(const std::string& Page,
                        std::initializer_list<const TComponentClass*> Classes) {
  const std::lock_guard lock(RegistryMutex());
  for (const TComponentClass* c : Classes) {
    const TComponentClass* known = FindComponentClass(c->ClassName);
    if (known != nullptr && known != c)
      throw EComponentError("a different class named " + c->ClassName + " is already registered");
  }
  auto& pages = Palette();
  auto page = std::find_if(pages.begin(), pages.end(),
                           [&](const TPalettePage& p) { return p.Name == Page; });
  if (page == pages.end()) page = pages.insert(pages.end(), TPalettePage{Page, {}});
  for (const TComponentClass* c : Classes) {
    if (FindComponentClass(c->ClassName) != nullptr) continue;
    page->Classes.push_back(c);
    NotePackageClass(c);
  }
}

void UnregisterComponentClass(const TComponentClass* Class) {
  const std::lock_guard lock(RegistryMutex());
  auto& pages = Palette();
  for (TPalettePage& p : pages) std::erase(p.Classes, Class);
  std::erase_if(pages, [](const TPalettePage& p) { return p.Classes.empty(); });
}

std::vector<TPalettePage> PalettePages() {
  const std::lock_guard lock(RegistryMutex());
  return Palette();
}

const TComponentClass* FindComponentClass(std::string_view ClassName) {
  const std::lock_guard lock(RegistryMutex());
  for (const TPalettePage& p : Palette())
    for (const TComponentClass* c : p.Classes)
      if (c->ClassName == ClassName) return c;
  return nullptr;
}

const TComponentClass* ClassOf(const TComponent& Instance) {
  const std::lock_guard lock(RegistryMutex());
  const std::type_index type(typeid(Instance));
  for (const TPalettePage& p : Palette())
    for (const TComponentClass* c : p.Classes)
      if (c->Type != nullptr && std::type_index(*c->Type) == type) return c;
  return nullptr;
}

}  // namespace framework
