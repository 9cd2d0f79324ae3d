# Tests written as bash scripts that reach the Wine guest through VRL_WINE.
include_guard(GLOBAL)

# vrl_add_script_test(NAME <name> SCRIPT <file> [ARGS <arg>...]
#                     [WORKING_DIRECTORY <dir>] [LABELS <label>...]
#                     [ENVIRONMENT <VAR=value>...])
# The script runs on the host with the test environment of the Wine tests; the
# guest is booted first, as for every Wine test.
function(vrl_add_script_test)
  cmake_parse_arguments(PARSE_ARGV 0 arg "" "NAME;SCRIPT;WORKING_DIRECTORY" "ARGS;LABELS;ENVIRONMENT")
  if(NOT arg_WORKING_DIRECTORY)
    set(arg_WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
  endif()
  add_test(NAME ${arg_NAME} COMMAND bash ${arg_SCRIPT} ${arg_ARGS} WORKING_DIRECTORY ${arg_WORKING_DIRECTORY})
  set_tests_properties(${arg_NAME} PROPERTIES
    FIXTURES_REQUIRED winevm
    LABELS "${arg_LABELS}"
    ENVIRONMENT "${VRL_TEST_ENVIRONMENT};${arg_ENVIRONMENT}"
    TIMEOUT 600)
endfunction()
