// Private link between the palette and the package loader: the palette tells
// the loader which classes the package being installed registers.
#pragma once

#include <mutex>

#include "quorin/framework/ClassRegistry.h"

namespace framework {

// Guards the palette and the package being installed. Recursive, because a
// package's register procedures call back into the palette while it is held.
std::recursive_mutex& RegistryMutex();

void NotePackageClass(const TComponentClass* Class);

}  // namespace framework
