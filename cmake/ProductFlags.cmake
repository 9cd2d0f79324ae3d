# Flags for the code that goes into the DLL: no exceptions, no RTTI, no
# thread-safe statics (no runtime support for any of them is linked).
add_library(vrl_product_flags INTERFACE)
target_compile_options(vrl_product_flags INTERFACE
  -fno-exceptions -fno-rtti -fno-threadsafe-statics -fno-asynchronous-unwind-tables
  -Wall -Wextra -Werror=return-type)
target_compile_definitions(vrl_product_flags INTERFACE
  WIN32_LEAN_AND_MEAN NOMINMAX UNICODE _UNICODE _WIN32_WINNT=0x0601 COBJMACROS_OFF)
target_include_directories(vrl_product_flags INTERFACE ${PROJECT_SOURCE_DIR})
