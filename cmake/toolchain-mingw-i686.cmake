# The shipped 32-bit build.
set(RIVO_MINGW_ARCH i686)
set(RIVO_WINE_ARCH win32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)
