# Cross-compiles for 64-bit Windows with Debian's MinGW-w64: the same program for hosts whose feed
# library is 64-bit, and the build whose tests run where no 32-bit code runs. x86-64 does its
# double arithmetic in SSE2 already. Debian keeps the 64-bit Wine loader off PATH.
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(TARNWICK_MINGW_PREFIX x86_64-w64-mingw32)
set(TARNWICK_WINE_LOADER wine64)
set(TARNWICK_WINE_DIRS /usr/lib/wine)

include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
