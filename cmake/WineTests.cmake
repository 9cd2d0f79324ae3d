# Tests run in Wine: this host's own, or the guest machine's of
# scripts/winevm, as the runner (scripts/runner) chooses. The lane's Wine is a
# CTest fixture: made ready before the first test that needs it, ended after
# the last. Windows executables get the emulator from the toolchain; scripts
# reach Wine through VRL_WINE.

# Each bitness runs in its own lane: this host's own Wine, in a prefix made
# anew for each test run in the build folder, or the guest (state in
# build/winevm) where the host cannot run that bitness; the runner
# (scripts/runner) chooses. The tests reach it through VRL_WINE, a stand-in
# for `wine` written here with the lane's folders, so that no test names them.
# The lane's server lasts from one test to the next, and goes two minutes
# after the last one at the latest, also when the run is interrupted.
set(VRL_WINE ${CMAKE_BINARY_DIR}/wine)
file(CONFIGURE OUTPUT ${VRL_WINE} @ONLY CONTENT [[#!/bin/sh
# The Windows programs of this build folder's tests, through the runner.
exec "@PROJECT_SOURCE_DIR@/scripts/wine@VRL_BITS@" "--home=@CMAKE_BINARY_DIR@/wine@VRL_BITS@" \
  "--state=@CMAKE_BINARY_DIR@/winevm" "--share=@PROJECT_SOURCE_DIR@" "--share=@CMAKE_BINARY_DIR@" "$@"
]])
file(CHMOD ${VRL_WINE} PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(VRL_TEST_ENVIRONMENT
  "VRL_WINE=${VRL_WINE}"
  "VRL_BIN=${CMAKE_BINARY_DIR}/bin"
  "VRL_SOURCE=${PROJECT_SOURCE_DIR}"
  "VRL_BITS=${VRL_BITS}"
  "VRL_WINE_LINGER=120"
  "VRL_SHARED_PREFIX_LOCK=${CMAKE_BINARY_DIR}/shared-prefix.lock")

# The Wine of the lane is a CTest fixture: made ready before the first test
# that needs it, ended after the last.
add_test(NAME winevm.start COMMAND ${VRL_WINE} --fresh)
add_test(NAME winevm.stop COMMAND ${VRL_WINE} --end)
set_tests_properties(winevm.start winevm.stop PROPERTIES ENVIRONMENT "${VRL_TEST_ENVIRONMENT}")
set_tests_properties(winevm.start PROPERTIES FIXTURES_SETUP winevm TIMEOUT 900 LABELS "bench;fixture")
set_tests_properties(winevm.stop PROPERTIES FIXTURES_CLEANUP winevm LABELS "bench;fixture")

# vrl_add_wine_test(NAME <name> COMMAND <exe target or program> [ARGS...]
#                   [LABELS <label>...] [ENVIRONMENT <VAR=value>...])
function(vrl_add_wine_test)
  cmake_parse_arguments(PARSE_ARGV 0 arg "" "NAME" "COMMAND;LABELS;ENVIRONMENT")
  add_test(NAME ${arg_NAME} COMMAND ${arg_COMMAND} WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
  set_tests_properties(${arg_NAME} PROPERTIES
    FIXTURES_REQUIRED winevm
    LABELS "${arg_LABELS}"
    ENVIRONMENT "${VRL_TEST_ENVIRONMENT};${arg_ENVIRONMENT}"
    TIMEOUT 600)
endfunction()

# GoogleTest, built from Debian's sources with the cross compiler.
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)

# vrl_add_gtest(<name> SOURCES <files> LIBRARIES <targets> [LABELS ...])
# One test executable, run in Wine as one CTest test.
function(vrl_add_gtest name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "SOURCES;LIBRARIES;LABELS;ENVIRONMENT")
  add_executable(${name} ${arg_SOURCES})
  target_link_libraries(${name} PRIVATE ${arg_LIBRARIES} GTest::gtest GTest::gtest_main)
  target_compile_definitions(${name} PRIVATE WIN32_LEAN_AND_MEAN NOMINMAX UNICODE _UNICODE _WIN32_WINNT=0x0601)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_options(${name} PRIVATE -static)
  set_target_properties(${name} PROPERTIES VRL_HOSTED ON)
  vrl_add_wine_test(NAME ${name} COMMAND ${name} LABELS ${arg_LABELS} ENVIRONMENT ${arg_ENVIRONMENT})
endfunction()
