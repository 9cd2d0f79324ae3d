# Cross toolchain: 32-bit Windows, the server's primary form. What it builds
# runs in Wine inside a small guest machine (scripts/winevm), booted on first
# use, with a throwaway prefix; the source and build folders are shared with
# it. (These hosts refuse 32-bit code.)
set(VRL_TARGET i686)
include(${CMAKE_CURRENT_LIST_DIR}/MinGWToolchain.cmake)

set(CMAKE_CROSSCOMPILING_EMULATOR
    "${CMAKE_CURRENT_LIST_DIR}/../scripts/winevm/wine"
    "--state=${CMAKE_BINARY_DIR}/winevm"
    "--share=${CMAKE_SOURCE_DIR}"
    "--share=${CMAKE_BINARY_DIR}"
    "--")
