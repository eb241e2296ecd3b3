// Private link between the palette and the package loader: the palette tells
// the loader which classes the package being installed registers.
#pragma once

#include "framework/ClassRegistry.h"

namespace framework {

void NotePackageClass(const TComponentClass* Class);

}  // namespace framework
