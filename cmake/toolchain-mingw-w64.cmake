# Cross-compiling for 64-bit Windows with Debian's mingw-w64 (the POSIX-threads variant of
# its GCC, which has std::thread). Libraries come from the prefix that
# tools/cross/build-deps.sh windows makes; pass it as VEXTRAL_CROSS_PREFIX.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(triple x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triple}-g++-posix)
set(CMAKE_RC_COMPILER ${triple}-windres)
set(CMAKE_AR ${triple}-gcc-ar-posix)
set(CMAKE_RANLIB ${triple}-gcc-ranlib-posix)

# Try-compiles see the prefix too.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES VEXTRAL_CROSS_PREFIX)
set(CMAKE_FIND_ROOT_PATH /usr/${triple} ${VEXTRAL_CROSS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config reads only the prefix's .pc files and those of Debian's MinGW packages (zlib),
# and gives static link lines: everything is linked into the executables, which then need
# no DLL beside them.
if(VEXTRAL_CROSS_PREFIX)
  set(ENV{PKG_CONFIG_LIBDIR} ${VEXTRAL_CROSS_PREFIX}/lib/pkgconfig:/usr/${triple}/lib/pkgconfig)
  set(ENV{PKG_CONFIG_PATH} "")
  set(PKG_CONFIG_EXECUTABLE ${CMAKE_CURRENT_LIST_DIR}/../tools/cross/pkg-config-static
      CACHE FILEPATH "pkg-config giving static link lines")
endif()
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
