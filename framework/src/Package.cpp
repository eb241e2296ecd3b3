// The package loader over the system's loadable modules, and the design-time install step.
#include "quorin/framework/Package.h"

#include <algorithm>
#include <cstring>

#include "PackageRegistry.h"
#include "quorin/platform/ModuleLoader.h"

namespace framework {

namespace modules = quorin::platform::modules;
namespace {

// The package whose register procedures are running, to attribute the classes they register.
TPackage* installing = nullptr;

}  // namespace

void InitializeUnits(const TPackageInfoTable& Info) {
  for (std::size_t i = 0; i < Info.UnitCount; ++i)
    if (Info.Units[i].Init != nullptr) Info.Units[i].Init();
}

void FinalizeUnits(const TPackageInfoTable& Info) {
  for (std::size_t i = Info.UnitCount; i-- > 0;)
    if (Info.Units[i].Finit != nullptr) Info.Units[i].Finit();
}

std::vector<std::string> SupportedFrameworks() {
  return {"framework 4.0", "framework 3.5"};
}

std::unique_ptr<TPackage> LoadPackage(const std::string& Path) {
  const std::lock_guard lock(RegistryMutex());
  std::string loadError;
  void* handle = modules::Load(Path, loadError);
  if (handle == nullptr) throw EPackageError("cannot load package '" + Path + "': " + loadError);
  auto fail = [&](const std::string& why) {
    modules::Unload(handle);
    throw EPackageError("'" + Path + "' is not a usable package: " + why);
  };
  auto entry = [&](const char* name) {
    void* sym = modules::Find(handle, name);
    if (sym == nullptr) fail(std::string("entry point ") + name + " is missing");
    return sym;
  };
  // Casting the address found to a function pointer is what POSIX prescribes for dlsym.
  const auto getInfo = reinterpret_cast<TGetPackageInfoTableProc>(entry(kGetPackageInfoTableEntry));
  const auto initialize = reinterpret_cast<TPackageProc>(entry(kInitializeEntry));
  const auto finalize = reinterpret_cast<TPackageProc>(entry(kFinalizeEntry));
  const TPackageInfoTable* info = getInfo();
  if (info == nullptr || info->Name == nullptr || info->RequiredFramework == nullptr)
    fail("its package information is empty");
  const auto supported = SupportedFrameworks();
  if (std::find(supported.begin(), supported.end(), info->RequiredFramework) == supported.end())
    fail(std::string("it requires ") + info->RequiredFramework);

  std::unique_ptr<TPackage> package(new TPackage);
  package->FPath = Path;
  package->FHandle = handle;
  package->FInfo = info;
  initialize();
  package->FFinalize = finalize;  // from now on the destructor finalises and unloads
  return package;
}

void InstallPackage(TPackage& Package) {
  const std::lock_guard lock(RegistryMutex());
  if (Package.FInstalled) return;
  Package.FInstalled = true;
  installing = &Package;
  try {
    for (std::size_t i = 0; i < Package.FInfo->UnitCount; ++i)
      if (Package.FInfo->Units[i].Register != nullptr) Package.FInfo->Units[i].Register();
  } catch (...) {
    installing = nullptr;
    Package.Uninstall();
    throw;
  }
  installing = nullptr;
}

void TPackage::Uninstall() noexcept {
  const std::lock_guard lock(RegistryMutex());
  for (const TComponentClass* c : FClasses) UnregisterComponentClass(c);
  FClasses.clear();
  FInstalled = false;
}

void UnloadPackage(std::unique_ptr<TPackage> Package) {
  Package.reset();
}

TPackage::~TPackage() {
  const std::lock_guard lock(RegistryMutex());
  Uninstall();
  if (FFinalize != nullptr) FFinalize();
  if (FHandle != nullptr) modules::Unload(FHandle);
}

std::span<const std::uint8_t> TPackage::FindResource(const std::string& Name) const {
  for (std::size_t i = 0; i < FInfo->ResourceCount; ++i)
    if (Name == FInfo->Resources[i].Name)
      return {FInfo->Resources[i].Data, FInfo->Resources[i].Size};
  return {};
}

// Called by RegisterComponents for every class it puts on the palette.
void NotePackageClass(const TComponentClass* Class) {
  if (installing != nullptr) installing->FClasses.push_back(Class);
}

}  // namespace framework
