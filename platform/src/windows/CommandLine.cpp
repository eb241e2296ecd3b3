#include <windows.h>

#include <shellapi.h>

#include "Win32Text.h"
#include "quorin/platform/Environment.h"

namespace quorin::platform {

CommandLine::CommandLine(int argc, char** argv) {
  int count = 0;
  wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (wide == nullptr) {
    pointers_.assign(argv, argv + argc);
    return;
  }
  for (int i = 0; i < count; ++i) converted_.push_back(win32::Utf8(wide[i]));
  ::LocalFree(wide);
  for (auto& argument : converted_) pointers_.push_back(argument.data());
}

}  // namespace quorin::platform
