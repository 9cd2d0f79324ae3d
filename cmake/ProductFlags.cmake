# Flags for the code that goes into the DLL: no exceptions, no RTTI, no
# thread-safe statics (no runtime support for any of them is linked).
# Executables that link the product libraries but carry a C++ runtime of their
# own (tests) set the target property VRL_HOSTED and keep their usual flags,
# so that they agree with the test framework they are built with.
add_library(vrl_product_flags INTERFACE)
set(vrl_freestanding_options -ffunction-sections -fdata-sections -fno-exceptions -fno-rtti -fno-threadsafe-statics -fno-asynchronous-unwind-tables
  -malign-data=abi)
target_compile_options(vrl_product_flags INTERFACE
  "$<$<NOT:$<BOOL:$<TARGET_PROPERTY:VRL_HOSTED>>>:${vrl_freestanding_options}>"
  -Wall -Wextra -Werror=return-type)
target_compile_definitions(vrl_product_flags INTERFACE
  WIN32_LEAN_AND_MEAN NOMINMAX UNICODE _UNICODE _WIN32_WINNT=0x0601)
target_include_directories(vrl_product_flags INTERFACE ${PROJECT_SOURCE_DIR})
