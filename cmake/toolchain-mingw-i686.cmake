# 32-bit Windows (MinGW-w64 i686).
set(MORVANE_MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)
