// Private helpers: the system's loadable modules (dlopen on POSIX,
// LoadLibraryW on Windows) behind the package loader.
#pragma once

#include <string>

namespace quorin::platform::modules {

// The loaded module, or nullptr with the system's reason in Error.
void* Load(const std::string& Path, std::string& Error);
// The address of an exported function, or nullptr.
void* Find(void* Module, const char* Name);
void Unload(void* Module);

}  // namespace quorin::platform::modules
