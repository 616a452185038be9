# What both MinGW-w64 toolchain files share; each sets TARNWICK_MINGW_PREFIX and the processor
# first. Debian's posix-threads variant is used, so that std::thread and std::mutex exist. The
# runtime is linked statically: the program needs no DLL of ours beside it, only the host's feed
# library. Test programs run under the Wine loader TARNWICK_WINE_LOADER (searched on PATH, then
# in TARNWICK_WINE_DIRS).
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${TARNWICK_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TARNWICK_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TARNWICK_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TARNWICK_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

find_program(TARNWICK_WINE NAMES ${TARNWICK_WINE_LOADER} PATHS ${TARNWICK_WINE_DIRS})
if(TARNWICK_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TARNWICK_WINE})
endif()
