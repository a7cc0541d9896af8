#!/usr/bin/env bash
# Compiles the decoder's sources as a Visual Studio build would: clang-cl in
# MSVC mode (Microsoft ABI, _MSC_VER, <intrin.h>, /W4 as errors), for 32-
# and 64-bit x86, each kernel file with the instruction set that
# decoder/CMakeLists.txt gives it. Compile only: there are no Microsoft
# libraries here to link against.
#
# The C, C++ and Windows headers are MinGW-w64's, which are written for GNU
# compilers: -fgnuc-version makes them take their GNU paths (in plain MSVC
# mode they define __attribute__ away, which breaks clang's own intrinsic
# headers), _X86_ and __STRICT_ANSI__ are what a GNU compiler would set for
# them, and clang_cl_headers/ stands in for their <setjmp.h>.
set -euo pipefail
cd "$(dirname "$0")/../.."
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

# The instruction set of a kernel file, from its set_kernel_instruction_set line.
arch_flag() {
  local set
  set=$(sed -nE "s/^ *set_kernel_instruction_set\($1 ([a-z0-9]+)\).*/\1/p" decoder/CMakeLists.txt)
  [ "$set" = avx2 ] && echo /arch:AVX2
  return 0
}

sources=()
for file in decoder/*.cpp; do
  [ "$(basename "$file")" = white_space_portable.cpp ] || sources+=("$file")
done

failed=0
for target in i686 x86_64; do
  gxx=/usr/lib/gcc/$target-w64-mingw32/12-posix/include/c++
  flags=(--target=$target-pc-windows-msvc /nologo /c /std:c++17 /W4 /WX /EHsc /DBUILD_X86_KERNELS
    -fgnuc-version=12 /D__STRICT_ANSI__ -imsvc tests/decoder/clang_cl_headers -imsvc "$gxx"
    -imsvc "$gxx/$target-w64-mingw32" -imsvc /usr/share/mingw-w64/include)
  [ "$target" = i686 ] && flags+=(/arch:SSE2 /D_X86_)
  for file in "${sources[@]}"; do
    name=$(basename "$file" .cpp)
    if clang-cl-14 "${flags[@]}" $(arch_flag "$name.cpp") "/Fo$out/$target-$name.obj" "$file"; then
      echo "compiled $file for $target"
    else
      echo "FAILED: $file for $target"
      failed=1
    fi
  done
done
exit $failed
