# The 64-bit build of the same sources, quick to test under 64-bit Wine.
set(RIVO_MINGW_ARCH x86_64)
set(RIVO_WINE_ARCH win64)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)
