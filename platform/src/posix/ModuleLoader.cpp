#include "quorin/platform/ModuleLoader.h"

#include <dlfcn.h>

namespace quorin::platform::modules {

void* Load(const std::string& Path, std::string& Error) {
  void* module = ::dlopen(Path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr) {
    const char* e = ::dlerror();
    Error = e != nullptr ? e : "unknown error";
  }
  return module;
}

void* Find(void* Module, const char* Name) {
  return ::dlsym(Module, Name);
}

void Unload(void* Module) {
  ::dlclose(Module);
}

}  // namespace quorin::platform::modules
