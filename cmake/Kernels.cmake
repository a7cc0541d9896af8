# The text kernels: one pass written once and compiled per instruction set.
# The list at the end of this file is the one home of the kernels; from it
# come the code's Kernel enum, the kernels' names, the dispatch of every pass
# and each kernel file's instruction set. Adding a kernel takes a row there
# and the kernel's own files (<pass prefix><name>.cpp), nothing else.
#
# An x86 build (32- or 64-bit) carries the x86 kernels beside the portable
# one and defines BUILD_X86_KERNELS for the code that asks an x86 processor
# what it runs; other processors get the kernels that need no x86 alone.
set(kernel_processor ${CMAKE_SYSTEM_PROCESSOR})
if(MSVC AND CMAKE_CXX_COMPILER_ARCHITECTURE_ID)
  set(kernel_processor ${CMAKE_CXX_COMPILER_ARCHITECTURE_ID})
endif()
string(TOLOWER "${kernel_processor}" kernel_processor)
if(kernel_processor MATCHES "^(x86|i[3-6]86|x86_64|amd64|x64)$")
  set(BUILD_X86_KERNELS ON)
else()
  set(BUILD_X86_KERNELS OFF)
endif()

set(KERNEL_NAMES "")

# add_kernel(<name> <Enumerator> [X86] [GNU <flag>...] [MSVC <flag>...]
#            [NEEDS <feature>...])
# One kernel, after the plainer ones. X86: built for x86 only. GNU and MSVC:
# what its files are compiled with by GCC or Clang, and by MSVC or clang-cl.
# NEEDS: the processor features (CpuFeature in cpu_kernels.cpp) that must
# all be there for it to run.
function(add_kernel name enumerator)
  cmake_parse_arguments(PARSE_ARGV 2 kernel "X86" "" "GNU;MSVC;NEEDS")
  set(built ON)
  if(kernel_X86 AND NOT BUILD_X86_KERNELS)
    set(built OFF)
  endif()
  if(MSVC)
    set(flags "${kernel_MSVC}")
  else()
    set(flags "${kernel_GNU}")
  endif()
  set(needs "0")
  if(kernel_NEEDS)
    list(TRANSFORM kernel_NEEDS PREPEND "CpuFeature")
    string(JOIN " | " needs ${kernel_NEEDS})
  endif()
  set(KERNEL_NAMES ${KERNEL_NAMES} ${name} PARENT_SCOPE)
  set(KERNEL_${name}_ENUMERATOR ${enumerator} PARENT_SCOPE)
  set(KERNEL_${name}_BUILT ${built} PARENT_SCOPE)
  set(KERNEL_${name}_FLAGS "${flags}" PARENT_SCOPE)
  set(KERNEL_${name}_NEEDS "${needs}" PARENT_SCOPE)
endfunction()

# The kernel files of one pass, <prefix><name>.cpp for each kernel that this
# build has, each given its kernel's flags: their list goes into <variable>.
function(list_kernel_sources variable prefix)
  set(sources "")
  foreach(name IN LISTS KERNEL_NAMES)
    if(KERNEL_${name}_BUILT)
      list(APPEND sources ${prefix}${name}.cpp)
      if(KERNEL_${name}_FLAGS)
        set_source_files_properties(${prefix}${name}.cpp PROPERTIES COMPILE_OPTIONS "${KERNEL_${name}_FLAGS}")
      endif()
    endif()
  endforeach()
  set(${variable} ${sources} PARENT_SCOPE)
endfunction()

# The list as C++ (kernel_list.h in <folder>): X-macros that the code expands
# into its enum, names, feature checks and dispatch.
function(write_kernel_list folder)
  set(all "")
  set(built "")
  set(shown "")
  list(LENGTH KERNEL_NAMES count)
  set(index 0)
  foreach(name IN LISTS KERNEL_NAMES)
    set(id ${KERNEL_${name}_ENUMERATOR})
    set(has 0)
    if(KERNEL_${name}_BUILT)
      set(has 1)
      string(APPEND built " \\\n    KERNEL(${id})")
    endif()
    string(APPEND all " \\\n    KERNEL(${id}, \"${name}\", ${KERNEL_${name}_NEEDS}, ${has})")
    math(EXPR index "${index} + 1")
    if(index EQUAL 1)
      set(shown "${name}")
    elseif(index EQUAL count)
      string(APPEND shown " or ${name}")
    else()
      string(APPEND shown ", ${name}")
    endif()
  endforeach()
  file(CONFIGURE OUTPUT ${folder}/kernel_list.h CONTENT "// Made by cmake/Kernels.cmake from its list of kernels: edit the list there.
#ifndef KERNEL_LIST_H
#define KERNEL_LIST_H

// Every kernel, from the plainest to the fastest:
// KERNEL(Enumerator, \"name\", CpuFeature bits it needs, 1 when this build has it)
#define FOR_EACH_KERNEL(KERNEL)${all}

// The kernels that this build compiles: KERNEL(Enumerator)
#define FOR_EACH_BUILT_KERNEL(KERNEL)${built}

// The names for people, as a help text lists them.
#define KERNEL_NAMES_TEXT \"${shown}\"

#endif
")
endfunction()

# The kernels, from the plainest to the fastest.
add_kernel(portable Portable)
add_kernel(sse2 Sse2 X86 GNU -msse2 NEEDS Sse2)  # SSE2 is the default of every x86 MSVC target
add_kernel(avx2 Avx2 X86 GNU -mavx2 MSVC /arch:AVX2 NEEDS Avx Avx2)
