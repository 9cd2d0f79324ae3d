# Tests written as bash scripts that reach the Wine guest through VRL_WINE.
include_guard(GLOBAL)

# vrl_add_script_test(NAME <name> SCRIPT <file> [ARGS <arg>...]
#                     [LABELS <label>...] [ENVIRONMENT <VAR=value>...])
# The script runs on the host, in the build's bin folder, with the
# environment and the guest fixture of every Wine test.
function(vrl_add_script_test)
  cmake_parse_arguments(PARSE_ARGV 0 arg "" "NAME;SCRIPT" "ARGS;LABELS;ENVIRONMENT")
  vrl_add_wine_test(NAME ${arg_NAME}
    COMMAND bash ${arg_SCRIPT} ${arg_ARGS}
    LABELS ${arg_LABELS}
    ENVIRONMENT ${arg_ENVIRONMENT})
endfunction()
