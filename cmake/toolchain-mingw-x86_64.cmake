# 64-bit Windows (MinGW-w64 x86_64).
set(MORVANE_MINGW_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)
