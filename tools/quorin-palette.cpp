// quorin-palette: the design-time side of a component package. Loads a package
// by path, installs it, and shows its palette, writes a class's palette bitmap,
// and creates or shows text forms holding its components.
#include <cstdio>
#include <exception>

#include "PaletteApp.h"
#include "quorin/platform/Files.h"

int main(int argc, char** argv) {
  // Forms and listings are the same bytes on every platform.
  quorin::platform::UseBinaryStandardStreams();
  try {
    return RunPalette(argc, argv);
  } catch (const std::exception& e) {  // anything the command line library itself throws
    std::fprintf(stderr, "quorin-palette: %s\n", e.what());
    return 1;
  }
}
