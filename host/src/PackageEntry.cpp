// The package's entry points: its description (name, version, the framework it
// needs, its units and its palette bitmap) and the calls that initialise and
// finalise its units. The package keeps no state of its own.
#include "PaletteBitmap.h"
#include "quorin/Rc6.h"
#include "quorin/framework/Package.h"

namespace {

constexpr framework::TUnitEntry kUnits[] = {
    {QUORIN_PACKAGE_NAME, nullptr, nullptr, nullptr},
    {"Rc6", nullptr, nullptr, &Rc6::Register},
};

constexpr framework::TPackageResource kResources[] = {
    {"TQuorin", "BITMAP", quorin_host::kPaletteBitmap, sizeof quorin_host::kPaletteBitmap},
};

constexpr framework::TPackageInfoTable kPackageInfo = {
    QUORIN_PACKAGE_NAME,       QUORIN_PACKAGE_VERSION,
    QUORIN_REQUIRED_FRAMEWORK, framework::pfNeverBuild,
    std::size(kUnits),         kUnits,
    std::size(kResources),     kResources,
};

}  // namespace

// Called through the package loader; they use kPackageInfo directly rather
// than each other, so that two packages loaded together never mix.
extern "C" {
RC6_API const framework::TPackageInfoTable* GetPackageInfoTable() {
  return &kPackageInfo;
}
RC6_API void Initialize() {
  framework::InitializeUnits(kPackageInfo);
}
RC6_API void Finalize() {
  framework::FinalizeUnits(kPackageInfo);
}
}
