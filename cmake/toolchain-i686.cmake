# 32-bit cross build: the shipping build (Windows 95/98 and NT 4.0).
set(VUR_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
