# The same sources for 64-bit Windows: the Windows tests run from this build
# where the machine cannot run 32-bit programs (see scripts/wine-arch).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TOOLCHAIN_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
