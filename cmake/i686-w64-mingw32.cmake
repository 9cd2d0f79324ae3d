# Cross toolchain: 32-bit Windows through MinGW-w64 (posix-threads flavour,
# the one Debian ships), with Wine as the emulator that runs what it builds.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(VRL_WIDL i686-w64-mingw32-widl)

# Page-aligned sections let Wine map executables straight from the file; the
# guest reads them over a shared folder, where one large read can come back
# short and leave the end of a section zeroed.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-Wl,--file-alignment,0x1000")

set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Wine runs in a small guest machine (scripts/winevm), booted on first use,
# with a throwaway prefix; the source and build folders are shared with it.
set(CMAKE_CROSSCOMPILING_EMULATOR
    "${CMAKE_CURRENT_LIST_DIR}/../scripts/winevm/wine"
    "--state=${CMAKE_BINARY_DIR}/winevm"
    "--share=${CMAKE_SOURCE_DIR}"
    "--share=${CMAKE_BINARY_DIR}"
    "--")
