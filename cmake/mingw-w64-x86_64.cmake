# Cross build for 64-bit Windows with mingw-w64 (POSIX threads flavour, so
# std::thread and std::mutex work), tests run under wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TESSARY_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TESSARY_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TESSARY_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TESSARY_MINGW_PREFIX}-windres)

# Libraries and headers come from the cross sysroot only; programs run at
# build time (cmake, python) are the host's.
set(CMAKE_FIND_ROOT_PATH /usr/${TESSARY_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# pkg-config must not offer the host's Linux packages.
set(ENV{PKG_CONFIG_LIBDIR} /usr/${TESSARY_MINGW_PREFIX}/lib/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")

# The runtime (libgcc, libstdc++, winpthread) linked in statically, so the
# DLLs and programs need nothing beyond Windows' own libraries (system
# DLLs are still reached through their import libraries).
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")

# ctest runs the test programs under wine.
find_program(TESSARY_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(TESSARY_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TESSARY_WINE})
endif()
