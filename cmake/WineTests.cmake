# Tests run in Wine: this host's own, or the guest machine's of
# scripts/winevm. The lane's Wine is a CTest fixture: made ready before the
# first test that needs it, ended after the last. Windows executables get the
# emulator from the toolchain; scripts reach Wine through VRL_WINE, a stand-in
# for `wine`.

# Where the guest runs the programs, a developer may point every build folder
# at one running guest by setting VRL_WINEVM_STATE when configuring; by
# default each build folder has its own.
if(DEFINED ENV{VRL_WINEVM_STATE})
  set(VRL_WINEVM_STATE $ENV{VRL_WINEVM_STATE})
else()
  set(VRL_WINEVM_STATE ${CMAKE_BINARY_DIR}/winevm)
endif()
set(VRL_TEST_ENVIRONMENT
  "VRL_WINEVM_STATE=${VRL_WINEVM_STATE}"
  "VRL_BIN=${CMAKE_BINARY_DIR}/bin"
  "VRL_SOURCE=${PROJECT_SOURCE_DIR}"
  "VRL_BITS=${VRL_BITS}")

# Each bitness runs in its own lane: this host's own Wine, in a prefix made
# anew for each test run in the build folder, or the guest where the host
# cannot run that bitness (scripts/wine-lane). The lane's server lasts from
# one test to the next, and goes two minutes after the last one at the
# latest, also when the run is interrupted.
set(VRL_WINE_HOME ${CMAKE_BINARY_DIR}/wine${VRL_BITS})
set(VRL_WINE ${PROJECT_SOURCE_DIR}/scripts/wine${VRL_BITS})
list(APPEND VRL_TEST_ENVIRONMENT
  "VRL_WINE=${VRL_WINE}" "VRL_WINE${VRL_BITS}_HOME=${VRL_WINE_HOME}" "VRL_WINE_LINGER=120")
set(lane_arguments --home=${VRL_WINE_HOME} --state=${VRL_WINEVM_STATE}
  --share=${PROJECT_SOURCE_DIR} --share=${CMAKE_BINARY_DIR})
set(lane_start ${VRL_WINE} ${lane_arguments} --fresh)
set(lane_stop ${VRL_WINE} ${lane_arguments} --end)

# The Wine of the lane is a CTest fixture: made ready before the first test
# that needs it, ended after the last.
add_test(NAME winevm.start COMMAND ${lane_start})
add_test(NAME winevm.stop COMMAND ${lane_stop})
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
