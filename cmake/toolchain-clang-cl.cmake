# Compile-only check of the MSVC route without Visual Studio: clang-cl in
# MSVC mode, for the architecture in CLANG_CL_ARCH (i686 or x86_64), with
# the MinGW-w64 headers standing in for the Windows SDK. Nothing links here:
# there is no MSVC runtime or import library, so only object files are
# built. The MinGW-w64 headers need GNU attributes (-fgnuc-version) and the
# one-argument _setjmp of the compiler's own intrin.h, libstdc++ the
# strict-standard macro that GCC would set; and 32-bit code gets SSE2, as
# MSVC gives it by default.
set(CMAKE_SYSTEM_NAME Windows)
if(NOT CLANG_CL_ARCH)
  set(CLANG_CL_ARCH x86_64)
endif()
set(CMAKE_SYSTEM_PROCESSOR ${CLANG_CL_ARCH})
set(CMAKE_C_COMPILER clang-cl-14)
set(CMAKE_CXX_COMPILER clang-cl-14)
set(CMAKE_RC_COMPILER llvm-rc)
set(CMAKE_AR llvm-lib-14)
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)

set(mingw_triple ${CLANG_CL_ARCH}-w64-mingw32)
set(libstdcxx /usr/lib/gcc/${mingw_triple}/12-posix/include/c++)
if(CLANG_CL_ARCH STREQUAL i686)
  set(arch_flags -D_X86_=1 /arch:SSE2)
else()
  set(arch_flags -D_AMD64_=1)
endif()
string(JOIN " " CMAKE_CXX_FLAGS_INIT --target=${CLANG_CL_ARCH}-pc-windows-msvc -Xclang -fgnuc-version=4.2.1
  -D__STRICT_ANSI__ -DUSE_NO_MINGW_SETJMP_TWO_ARGS ${arch_flags}
  -imsvc ${libstdcxx} -imsvc ${libstdcxx}/${mingw_triple} -imsvc /usr/share/mingw-w64/include)
set(CMAKE_C_FLAGS_INIT "${CMAKE_CXX_FLAGS_INIT}")
