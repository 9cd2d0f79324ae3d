# The build's use of the language kit: a language folder's string table,
# checked and written as a resource script at build time.
include_guard(GLOBAL)

set(VRL_LANGKIT ${CMAKE_CURRENT_LIST_DIR}/langkit)
# The kit's modules: what its output depends on besides the language folders.
set(VRL_LANGKIT_SOURCES ${CMAKE_CURRENT_LIST_DIR}/vrllangkit/*.py)
# The Python with translate-toolkit and polib: Debian's own.
set(VRL_LANGKIT_PYTHON /usr/bin/python3 CACHE FILEPATH "Python 3 with translate-toolkit and polib, for langkit")
option(VRL_LANGUAGE_FALLBACK_TO_SOURCE
  "Build texts that are missing or fuzzy in a translation from the source text, with a warning" OFF)

# vrl_langkit_string_table(<target> FOLDER <language folder> OUTPUT <file.rc>)
# A target that writes the string table of a language folder to <file.rc>,
# refusing (and failing the build) when the translation is not fit.
function(vrl_langkit_string_table target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "FOLDER;OUTPUT" "")
  set(folder ${arg_FOLDER})
  set(source_folder ${PROJECT_SOURCE_DIR}/languages/es)
  file(GLOB kit_sources CONFIGURE_DEPENDS ${VRL_LANGKIT_SOURCES})
  file(GLOB language_files CONFIGURE_DEPENDS ${folder}/* ${source_folder}/*)
  set(fallback)
  if(VRL_LANGUAGE_FALLBACK_TO_SOURCE)
    set(fallback --fallback-to-source)
  endif()
  add_custom_command(OUTPUT ${arg_OUTPUT}
    COMMAND ${VRL_LANGKIT_PYTHON} ${VRL_LANGKIT} rc ${folder} ${arg_OUTPUT} ${fallback}
    DEPENDS ${VRL_LANGKIT} ${kit_sources} ${language_files}
    COMMENT "Checking the texts of ${folder} and writing their string table"
    VERBATIM)
  add_custom_target(${target} DEPENDS ${arg_OUTPUT})
endfunction()
