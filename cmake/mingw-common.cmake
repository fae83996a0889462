# Shared part of the two mingw-w64 toolchain files; VUR_TRIPLE names the target.
set(CMAKE_SYSTEM_NAME Windows)
if(VUR_TRIPLE MATCHES "^x86_64")
  set(CMAKE_SYSTEM_PROCESSOR AMD64)
else()
  set(CMAKE_SYSTEM_PROCESSOR x86)
endif()

# The product uses the win32 thread model: its imports stay loadable on old
# systems. Test programs switch to the posix compilers target by target
# (see VurUsePosixCompiler in cmake/VurTargets.cmake).
set(CMAKE_C_COMPILER   ${VUR_TRIPLE}-gcc-win32)
set(CMAKE_CXX_COMPILER ${VUR_TRIPLE}-g++-win32)
set(CMAKE_RC_COMPILER  ${VUR_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${VUR_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

set(CMAKE_CROSSCOMPILING_EMULATOR wine)
