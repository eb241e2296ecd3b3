#include "quorin/platform/ModuleLoader.h"

#include <windows.h>

#include <stdexcept>

#include "Win32Text.h"

namespace quorin::platform::modules {

void* Load(const std::string& Path, std::string& Error) {
  std::wstring wide;
  try {
    wide = quorin::win32::WidePath(Path);
  } catch (const std::invalid_argument& e) {
    Error = e.what();
    return nullptr;
  }
  // A package's own dependencies are looked for beside it first, as the
  // loader on POSIX finds them through the package's RUNPATH.
  HMODULE module = ::LoadLibraryExW(
      wide.c_str(), nullptr,
      wide.find_first_of(L"\\/") != std::wstring::npos ? LOAD_WITH_ALTERED_SEARCH_PATH : 0);
  if (module == nullptr) Error = quorin::win32::ErrorText(quorin::win32::ErrnoFromLastError());
  return reinterpret_cast<void*>(module);
}

void* Find(void* Module, const char* Name) {
  // GetProcAddress returns a function pointer of an unspecified type; the
  // package loader casts it to the entry's own type, as with dlsym.
  return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(Module), Name));
}

void Unload(void* Module) {
  ::FreeLibrary(static_cast<HMODULE>(Module));
}

}  // namespace quorin::platform::modules
