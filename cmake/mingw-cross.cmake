# What both MinGW-w64 cross builds share; the toolchain files set
# MINGW_PREFIX and CMAKE_SYSTEM_PROCESSOR first. The posix thread model is
# needed by GoogleTest; every program links the runtimes statically, so it
# imports system DLLs only.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")

# Programs built here run under Wine, for ctest as for the scripts. Debian's
# `wine` starts Wine's 32-bit loader; a 64-bit build calls the 64-bit loader
# directly, so that its programs also run where the system runs no 32-bit
# code at all.
find_program(WINE_PROGRAM NAMES ${WINE_LOADER_NAME} wine PATHS /usr/lib/wine)
if(WINE_PROGRAM)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${WINE_PROGRAM})
endif()
