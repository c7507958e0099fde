# Shared by the two MinGW-w64 toolchain files: Debian's posix thread model
# (GoogleTest needs std::mutex), static runtime, zlib from libz-mingw-w64-dev.
# The including file sets CMAKE_SYSTEM_PROCESSOR and TOOLCHAIN_PREFIX.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${TOOLCHAIN_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TOOLCHAIN_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TOOLCHAIN_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TOOLCHAIN_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# zlib linked in: the import library (zlib1.dll) would be found first, and a
# setup that needs zlib1.dll neither starts on a plain Windows nor is safe
# from a zlib1.dll planted beside it (imports load before any code runs).
set(ZLIB_LIBRARY /usr/${TOOLCHAIN_PREFIX}/lib/libz.a)
set(ZLIB_LIBRARY_RELEASE ${ZLIB_LIBRARY})  # also over an older build folder's cache
# Windows test programs run through Wine in the runner's private prefix.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)
