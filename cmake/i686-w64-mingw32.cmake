# Cross-compiles for 32-bit Windows with Debian's MinGW-w64: the program we ship beside the host's
# 32-bit ORBFEED.DLL.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(TARNWICK_MINGW_PREFIX i686-w64-mingw32)
set(TARNWICK_WINE_LOADER wine)

# SSE2 arithmetic instead of the x87 unit's 80-bit registers: doubles then round exactly as on
# 64-bit builds, so prices and dates come out bit for bit the same.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")

include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
