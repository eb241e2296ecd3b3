# Cross build for 64-bit Windows with Debian's MinGW-w64 (the posix thread
# model, so that std::thread and std::mutex work), run under Wine. The
# libraries Debian ships no Windows build of (libsodium, GoogleTest) come
# from scripts/build-windows-deps.sh, whose prefix QUORIN_WINDOWS_DEPS names;
# without it, the script is run here (it builds once, then only tells).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
if(NOT QUORIN_WINDOWS_DEPS AND NOT "$ENV{QUORIN_WINDOWS_DEPS}" STREQUAL "")
  set(QUORIN_WINDOWS_DEPS "$ENV{QUORIN_WINDOWS_DEPS}")
endif()
if(NOT QUORIN_WINDOWS_DEPS)
  execute_process(COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/../../scripts/build-windows-deps.sh
                  OUTPUT_VARIABLE QUORIN_WINDOWS_DEPS OUTPUT_STRIP_TRAILING_WHITESPACE
                  RESULT_VARIABLE _quorin_deps_status)
  if(NOT _quorin_deps_status EQUAL 0)
    message(FATAL_ERROR "scripts/build-windows-deps.sh failed (see above)")
  endif()
endif()
set(QUORIN_WINDOWS_DEPS "${QUORIN_WINDOWS_DEPS}" CACHE PATH "scripts/build-windows-deps.sh's prefix")
# try_compile projects read this file again: they are given the prefix.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES QUORIN_WINDOWS_DEPS)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 ${QUORIN_WINDOWS_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Wine, through a script that keeps one wine server for a whole run (Debian's
# wine64 package installs the loader outside PATH; the script finds it).
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh)
# Host packages must not be found for the target.
set(ENV{PKG_CONFIG_LIBDIR} "${QUORIN_WINDOWS_DEPS}/lib/pkgconfig")
# The binaries run on a Windows machine with nothing else installed.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++ -static")
# A DLL exports its own functions, not those of the runtime linked into it
# (which every program links too).
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++ -static -Wl,--exclude-libs,ALL")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++ -static -Wl,--exclude-libs,ALL")
