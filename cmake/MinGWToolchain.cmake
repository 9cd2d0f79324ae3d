# What the two cross toolchains share: MinGW-w64 (posix-threads flavour, the
# one Debian ships) for the target that VRL_TARGET names (i686 or x86_64),
# with resources from windres and interfaces from widl.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${VRL_TARGET})

set(CMAKE_C_COMPILER ${VRL_TARGET}-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER ${VRL_TARGET}-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER ${VRL_TARGET}-w64-mingw32-windres)
set(VRL_WIDL ${VRL_TARGET}-w64-mingw32-widl)

# Page-aligned sections let Wine map executables straight from the file; the
# guest reads them over a shared folder, where one large read can come back
# short and leave the end of a section zeroed.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-Wl,--file-alignment,0x1000")

set(CMAKE_FIND_ROOT_PATH /usr/${VRL_TARGET}-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
