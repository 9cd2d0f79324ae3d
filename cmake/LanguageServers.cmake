# The language servers that the build makes: one per language folder, from
# the same sources. langkit describes the folders (identity, completeness,
# collisions) at configure time; each layer then writes its per-language
# files from templates. The code is compiled once for every language: the
# one source compiled per language is the server's identity
# (dll/LanguageIdentity.cpp.in).
include_guard(GLOBAL)
include(${PROJECT_SOURCE_DIR}/langkit/LangKit.cmake)

# The source language: always built, and the one that the tools and the
# tests of the layers are built against.
set(VRL_SOURCE_LANGUAGE es)
set(VRL_LANGUAGES "" CACHE STRING
  "Language folders to build servers of (names below languages/; empty: every complete one, and the pseudo-locale)")
set(VRL_TEST_LANGUAGE_FOLDERS ${PROJECT_SOURCE_DIR}/tests/languages/entest CACHE STRING
  "Language folders whose servers are built for the tests only, never packaged")
set(VRL_LANGUAGE_FOLDERS_MADE ${CMAKE_BINARY_DIR}/language-folders)
set(VRL_PSEUDO_LANGUAGE qps-ploc)

# The pseudo-locale's folder, made from the source language's texts; made
# again whenever those or the kit change.
function(vrl_make_pseudo_language_folder)
  file(GLOB kit_sources ${VRL_LANGKIT_SOURCES})
  set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
    ${PROJECT_SOURCE_DIR}/languages/${VRL_SOURCE_LANGUAGE}/texts.po
    ${PROJECT_SOURCE_DIR}/languages/${VRL_SOURCE_LANGUAGE}/language.json ${kit_sources})
  execute_process(
    COMMAND ${VRL_LANGKIT_PYTHON} ${VRL_LANGKIT} pseudo ${VRL_LANGUAGE_FOLDERS_MADE}/${VRL_PSEUDO_LANGUAGE}
    RESULT_VARIABLE result OUTPUT_QUIET ERROR_VARIABLE error)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "langkit pseudo failed:\n${error}")
  endif()
endfunction()

# Describes the candidate folders through langkit and sets, in the caller's
# scope, VRL_SERVER_LANGUAGES (every server built), VRL_PRODUCT_LANGUAGES
# (those shipped) and each language's VRL_LANGUAGE_<name>_* variables. Two
# folders whose identities collide stop the configuration, named.
macro(vrl_describe_languages)
  vrl_make_pseudo_language_folder()
  if(VRL_LANGUAGES)
    set(_vrl_candidates)
    foreach(name IN LISTS VRL_LANGUAGES)
      if(name STREQUAL VRL_PSEUDO_LANGUAGE)
        list(APPEND _vrl_candidates ${VRL_LANGUAGE_FOLDERS_MADE}/${name})
      elseif(IS_DIRECTORY ${PROJECT_SOURCE_DIR}/languages/${name})
        list(APPEND _vrl_candidates ${PROJECT_SOURCE_DIR}/languages/${name})
      else()
        message(FATAL_ERROR "VRL_LANGUAGES names ${name}, which is no folder of languages/")
      endif()
    endforeach()
  else()
    file(GLOB _vrl_identities CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/languages/*/language.json)
    set(_vrl_candidates)
    foreach(identity IN LISTS _vrl_identities)
      cmake_path(GET identity PARENT_PATH folder)
      list(APPEND _vrl_candidates ${folder})
      # Whether a folder is complete depends on its texts.
      file(GLOB texts ${folder}/texts.*)
      set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${identity} ${texts})
    endforeach()
    list(APPEND _vrl_candidates ${VRL_LANGUAGE_FOLDERS_MADE}/${VRL_PSEUDO_LANGUAGE})
  endif()
  # The source language comes first: a folder that collides with it is the
  # one named.
  list(REMOVE_ITEM _vrl_candidates ${PROJECT_SOURCE_DIR}/languages/${VRL_SOURCE_LANGUAGE})
  list(PREPEND _vrl_candidates ${PROJECT_SOURCE_DIR}/languages/${VRL_SOURCE_LANGUAGE})
  set(_vrl_fallback)
  if(VRL_LANGUAGE_FALLBACK_TO_SOURCE)
    set(_vrl_fallback --fallback-to-source)
  endif()
  set(_vrl_description ${CMAKE_BINARY_DIR}/languages/languages.cmake)
  file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/languages)
  execute_process(
    COMMAND ${VRL_LANGKIT_PYTHON} ${VRL_LANGKIT} describe ${_vrl_description}
            ${_vrl_candidates} ${VRL_TEST_LANGUAGE_FOLDERS} ${_vrl_fallback}
    RESULT_VARIABLE _vrl_result ERROR_VARIABLE _vrl_error)
  if(NOT _vrl_result EQUAL 0)
    message(FATAL_ERROR "The language folders cannot be built side by side:\n${_vrl_error}")
  endif()
  include(${_vrl_description})
  foreach(note IN LISTS VRL_LANGUAGES_UNFINISHED_NOTES)
    message(STATUS "Not built: ${note}")
  endforeach()
  set(VRL_SERVER_LANGUAGES ${VRL_LANGUAGES_COMPLETE})
  set(VRL_PRODUCT_LANGUAGES ${VRL_LANGUAGES_COMPLETE})
  foreach(folder IN LISTS VRL_TEST_LANGUAGE_FOLDERS)
    cmake_path(GET folder FILENAME name)
    list(REMOVE_ITEM VRL_PRODUCT_LANGUAGES ${name})
  endforeach()
  if(NOT VRL_SOURCE_LANGUAGE IN_LIST VRL_SERVER_LANGUAGES)
    message(FATAL_ERROR "The source language (languages/${VRL_SOURCE_LANGUAGE}) is not complete")
  endif()
  message(STATUS "Language servers: ${VRL_SERVER_LANGUAGES} (shipped: ${VRL_PRODUCT_LANGUAGES})")
  # The languages that this configure ships, one a line, for scripts/package:
  # the folders of languages/ in the build folder outlive a language that
  # dropped out.
  list(JOIN VRL_PRODUCT_LANGUAGES "\n" _vrl_shipped)
  file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/languages/shipped.txt CONTENT "${_vrl_shipped}\n")
endmacro()

# vrl_language_generated_folder(<language> <variable>): where a language's
# generated headers and scripts go.
function(vrl_language_generated_folder language variable)
  set(${variable} ${CMAKE_BINARY_DIR}/languages/${language} PARENT_SCOPE)
endfunction()

# vrl_configure_language_file(<template> <language> <output name> [NEWLINE_STYLE <style>]):
# a layer's template filled in with one language's values (as @LANGUAGE_*@).
function(vrl_configure_language_file template language output)
  cmake_parse_arguments(PARSE_ARGV 3 arg "" "NEWLINE_STYLE" "")
  get_cmake_property(variables VARIABLES)
  list(FILTER variables INCLUDE REGEX "^VRL_LANGUAGE_${language}_")
  foreach(variable IN LISTS variables)
    string(REPLACE "VRL_LANGUAGE_${language}_" "LANGUAGE_" local ${variable})
    set(${local} "${${variable}}")
  endforeach()
  vrl_language_generated_folder(${language} folder)
  set(style)
  if(arg_NEWLINE_STYLE)
    set(style NEWLINE_STYLE ${arg_NEWLINE_STYLE})
  endif()
  configure_file(${template} ${folder}/${output} @ONLY ${style})
endfunction()
