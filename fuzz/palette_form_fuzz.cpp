// Fuzzes the text form reader the way a user reaches it: through
// quorin-palette's entry point, "form-show PACKAGE FILE", with the package
// really loaded and installed. Any file must end in exit code 0 or 1, never a
// fault or an exception escaping.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <string>

#include "PaletteApp.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string path = [] {
    std::cout.rdbuf(nullptr);  // the forms that are read are printed: keep them quiet
    std::cerr.rdbuf(nullptr);
    return (std::filesystem::temp_directory_path() /
            ("palette_form_fuzz." + std::to_string(std::random_device{}()) + ".txt"))
        .string();
  }();
  {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  std::string args[] = {"quorin-palette", "form-show", QUORIN_TAMBERLO_PATH, path};
  char* argv[] = {args[0].data(), args[1].data(), args[2].data(), args[3].data()};
  std::cout.clear();
  const int code = RunPalette(4, argv);
  if (code != 0 && code != 1) std::abort();
  return 0;
}
