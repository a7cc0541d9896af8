# Cross build for 32-bit Windows with MinGW-w64 (Debian: g++-mingw-w64-i686).
set(CMAKE_SYSTEM_PROCESSOR x86)
set(WINE_LOADER_NAME wine)
set(MINGW_PREFIX i686-w64-mingw32)

# The same instruction set as a 32-bit MSVC build by default (/arch:SSE2).
set(CMAKE_CXX_FLAGS_INIT "-msse2")
set(CMAKE_C_FLAGS_INIT "-msse2")

include(${CMAKE_CURRENT_LIST_DIR}/mingw-cross.cmake)
