# vrl_add_typelib_builder(<generated folder>): the type library builder,
# vrl_typelib_builder, over the sibling library's header and interface ids
# that widl wrote into <generated folder>. Shared by the 64-bit build and by
# the 64-bit builder that a 32-bit build makes as a project of its own.
function(vrl_add_typelib_builder generated)
  cmake_path(GET CMAKE_CURRENT_FUNCTION_LIST_DIR PARENT_PATH tools)
  cmake_path(GET tools PARENT_PATH source)
  add_executable(vrl_typelib_builder
    ${source}/tools/typelib/main.cpp ${source}/tools/typelib/ServerTypeLibWriter.cpp)
  target_compile_definitions(vrl_typelib_builder PRIVATE
    WIN32_LEAN_AND_MEAN NOMINMAX UNICODE _UNICODE _WIN32_WINNT=0x0601)
  target_include_directories(vrl_typelib_builder PRIVATE ${source} ${generated})
  target_link_libraries(vrl_typelib_builder PRIVATE oleaut32 ole32 uuid)
  target_link_options(vrl_typelib_builder PRIVATE -static -municode)
endfunction()
