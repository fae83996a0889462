# Compile and link settings shared by the project's targets.

set(VUR_WARNINGS -Wall -Wextra -Werror)

# Product targets: win32 thread model (the default compilers), static runtime,
# ANSI API, nothing newer than Windows 95 / NT 4.0 asked of the headers.
function(vur_product_target target)
  target_compile_options(${target} PRIVATE ${VUR_WARNINGS})
  target_compile_definitions(${target} PRIVATE
    WINVER=0x0400 _WIN32_WINNT=0x0400 _WIN32_IE=0x0400 WIN32_LEAN_AND_MEAN
    __USE_MINGW_ANSI_STDIO=0)
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "EXECUTABLE")
    target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++)
  endif()
endfunction()

# Test programs need GoogleTest, which needs std::mutex and so the posix
# thread model. The launcher swaps the win32 compiler for its posix twin for
# this target only; the product library it links stays win32-built.
set(VUR_POSIX_LAUNCHER ${CMAKE_CURRENT_LIST_DIR}/posix-compiler.sh)
function(vur_use_posix_compiler target)
  set_target_properties(${target} PROPERTIES
    C_COMPILER_LAUNCHER ${VUR_POSIX_LAUNCHER}
    CXX_COMPILER_LAUNCHER ${VUR_POSIX_LAUNCHER}
    RULE_LAUNCH_LINK ${VUR_POSIX_LAUNCHER})
endfunction()
