// Runtime packages: shared libraries that carry component classes.
//
// A package exports three functions with C linkage: GetPackageInfoTable, which
// describes it, and Initialize and Finalize, which run its units'
// initialisation in order and their finalisation in reverse order. The
// framework loads a package, initialises it, and at design time installs it:
// it calls each unit's register procedure, which puts the unit's classes on the
// palette. Unloading takes those classes off the palette again before the
// library goes away; components of a package must be freed before it is unloaded.
//
// Loading, installing and unloading may be called from any thread: they are
// serialised with each other and with the palette's look-ups.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "quorin/framework/ClassRegistry.h"
#include "quorin/framework/Exceptions.h"
#include "quorin/framework/Export.h"

namespace framework {

// --- What a package describes itself with (plain data, C layout).
struct TUnitEntry {
  const char* Name;
  void (*Init)();      // may be null
  void (*Finit)();     // may be null
  void (*Register)();  // may be null; called at design time
};

struct TPackageResource {
  const char* Name;
  const char* Type;  // "BITMAP", ...
  const std::uint8_t* Data;
  std::size_t Size;
};

// Package flags.
inline constexpr std::uint32_t pfNeverBuild = 0x1;
inline constexpr std::uint32_t pfDesignOnly = 0x2;
inline constexpr std::uint32_t pfRunOnly = 0x4;

struct TPackageInfoTable {
  const char* Name;
  const char* Version;
  const char* RequiredFramework;  // "framework 4.0", "framework 3.5"
  std::uint32_t Flags;
  std::size_t UnitCount;
  const TUnitEntry* Units;
  std::size_t ResourceCount;
  const TPackageResource* Resources;
};

// The names of the package entry points, and their types.
inline constexpr const char* kGetPackageInfoTableEntry = "GetPackageInfoTable";
inline constexpr const char* kInitializeEntry = "Initialize";
inline constexpr const char* kFinalizeEntry = "Finalize";
using TGetPackageInfoTableProc = const TPackageInfoTable* (*)();
using TPackageProc = void (*)();

// Helpers for a package's own Initialize and Finalize.
FRAMEWORK_API void InitializeUnits(const TPackageInfoTable& Info);
FRAMEWORK_API void FinalizeUnits(const TPackageInfoTable& Info);

// A package could not be loaded, or is not a package.
class FRAMEWORK_API EPackageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A loaded package. Created by LoadPackage, ended by UnloadPackage.
class FRAMEWORK_API TPackage {
 public:
  ~TPackage();
  TPackage(const TPackage&) = delete;
  TPackage& operator=(const TPackage&) = delete;

  const std::string& Path() const { return FPath; }
  const TPackageInfoTable& Info() const { return *FInfo; }
  bool Installed() const { return FInstalled; }
  // The classes this package's register procedures put on the palette.
  const std::vector<const TComponentClass*>& RegisteredClasses() const { return FClasses; }
  // The named resource's bytes, or an empty span.
  std::span<const std::uint8_t> FindResource(const std::string& Name) const;

 private:
  friend FRAMEWORK_API std::unique_ptr<TPackage> LoadPackage(const std::string&);
  friend FRAMEWORK_API void InstallPackage(TPackage&);
  friend void NotePackageClass(const TComponentClass*);
  TPackage() = default;
  void Uninstall() noexcept;

  std::string FPath;
  void* FHandle = nullptr;
  const TPackageInfoTable* FInfo = nullptr;
  TPackageProc FFinalize = nullptr;
  bool FInstalled = false;
  std::vector<const TComponentClass*> FClasses;
};

// Loads the shared library and runs its units' initialisation. Throws
// EPackageError naming the path when the file cannot be loaded, lacks an entry
// point, or requires a framework version this framework does not provide.
FRAMEWORK_API std::unique_ptr<TPackage> LoadPackage(const std::string& Path);
// The design-time step: calls every unit's register procedure once and
// remembers what they registered. A class name already on the palette from
// elsewhere throws EComponentError and leaves nothing of this package installed.
FRAMEWORK_API void InstallPackage(TPackage& Package);
// Takes the package's classes off the palette, runs its units' finalisation
// in reverse order and unloads the library. Destroying the TPackage does the same.
FRAMEWORK_API void UnloadPackage(std::unique_ptr<TPackage> Package);

// The framework versions this framework can host.
FRAMEWORK_API std::vector<std::string> SupportedFrameworks();

}  // namespace framework
