# Cross toolchain: 64-bit Windows. What it builds runs in this host's own
# 64-bit Wine, with a throwaway prefix in the build folder (scripts/wine64);
# on a host without one, in the test guest's 64-bit Wine.
set(VRL_TARGET x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/MinGWToolchain.cmake)

set(CMAKE_CROSSCOMPILING_EMULATOR
    "${CMAKE_CURRENT_LIST_DIR}/../scripts/wine64"
    "--home=${CMAKE_BINARY_DIR}/wine64"
    "--state=${CMAKE_BINARY_DIR}/winevm"
    "--share=${CMAKE_SOURCE_DIR}"
    "--share=${CMAKE_BINARY_DIR}"
    "--")
