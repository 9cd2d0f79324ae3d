# Cross toolchain: 32-bit Windows, the server's primary form. What it builds
# runs in this host's own 32-bit Wine where the host runs 32-bit code, with a
# throwaway prefix in the build folder, and elsewhere in Wine inside a small
# guest machine (scripts/winevm), booted on first use, with which the source
# and build folders are shared (the runner, scripts/runner, chooses).
set(VRL_TARGET i686)
include(${CMAKE_CURRENT_LIST_DIR}/MinGWToolchain.cmake)

set(CMAKE_CROSSCOMPILING_EMULATOR
    "${CMAKE_CURRENT_LIST_DIR}/../scripts/wine32"
    "--home=${CMAKE_BINARY_DIR}/wine32"
    "--state=${CMAKE_BINARY_DIR}/winevm"
    "--share=${CMAKE_SOURCE_DIR}"
    "--share=${CMAKE_BINARY_DIR}"
    "--")
