# Cross build for 64-bit Windows with Debian's MinGW-w64 (the posix thread
# model, so that std::thread and std::mutex work), run under Wine. The
# libraries Debian ships no Windows build of (libsodium, GoogleTest) come
# from scripts/build-windows-deps.sh, whose prefix QUORIN_WINDOWS_DEPS names.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(QUORIN_WINDOWS_DEPS "$ENV{QUORIN_WINDOWS_DEPS}" CACHE PATH "scripts/build-windows-deps.sh's prefix")
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 ${QUORIN_WINDOWS_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
# Host packages must not be found for the target.
set(ENV{PKG_CONFIG_LIBDIR} "${QUORIN_WINDOWS_DEPS}/lib/pkgconfig")
# The binaries run on a Windows machine with nothing else installed.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++ -static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++ -static")
