# Warning and sanitizer settings shared by every target of the project.
add_library(quorin_compile_options INTERFACE)
target_compile_options(quorin_compile_options INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion
  -Wnon-virtual-dtor -Wold-style-cast -Wcast-align)
if(EMSCRIPTEN)
  # Emscripten's libc++ (LLVM 14) declares std::rotl's count unsigned, where
  # the standard and every other library say int.
  target_compile_options(quorin_compile_options INTERFACE -Wno-sign-conversion)
endif()
if(WIN32)
  # 64-bit file offsets in the CRT's lseek and stat, as on every 64-bit POSIX
  # system; Windows 7's API level at least.
  target_compile_definitions(quorin_compile_options INTERFACE _FILE_OFFSET_BITS=64 _WIN32_WINNT=0x0601
                                                               WIN32_LEAN_AND_MEAN NOMINMAX)
  # MinGW-w64's GCC 12 inlines std::string's copies into code where its
  # -Wrestrict sees overlaps that cannot happen (GCC bug 105329).
  target_compile_options(quorin_compile_options INTERFACE -Wno-restrict)
endif()
if(QUORIN_WARNINGS_AS_ERRORS)
  target_compile_options(quorin_compile_options INTERFACE -Werror)
endif()
if(QUORIN_SANITIZE)
  set(_quorin_san -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  target_compile_options(quorin_compile_options INTERFACE ${_quorin_san})
  target_link_options(quorin_compile_options INTERFACE ${_quorin_san})
endif()
if(QUORIN_SANITIZE_THREAD)
  set(_quorin_tsan -fsanitize=thread -fno-omit-frame-pointer)
  target_compile_options(quorin_compile_options INTERFACE ${_quorin_tsan})
  target_link_options(quorin_compile_options INTERFACE ${_quorin_tsan})
endif()
