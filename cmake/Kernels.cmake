# Kernels per instruction set. An x86 build (32- or 64-bit) carries the SSE2
# and AVX2 kernels beside the portable one, and defines BUILD_X86_KERNELS for
# the code that picks among them; other processors get the portable kernel
# alone. Each kernel file gets its instruction set through
# set_kernel_instruction_set(<file> sse2|avx2), never the rest of the code;
# list_kernel_sources names a pass's kernel files and does that for them.
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

function(set_kernel_instruction_set source instruction_set)
  if(instruction_set STREQUAL "avx2")
    if(MSVC)
      set(flag /arch:AVX2)
    else()
      set(flag -mavx2)
    endif()
  elseif(instruction_set STREQUAL "sse2")
    if(MSVC)
      set(flag "")  # the default of every x86 MSVC target
    else()
      set(flag -msse2)
    endif()
  else()
    message(FATAL_ERROR "unknown instruction set '${instruction_set}' for ${source}")
  endif()
  set_source_files_properties(${source} PROPERTIES COMPILE_OPTIONS "${flag}")
endfunction()

# The kernel files of one pass, named <prefix>portable.cpp, and on x86 also
# <prefix>sse2.cpp and <prefix>avx2.cpp, each given its instruction set:
# their list goes into <variable>.
function(list_kernel_sources variable prefix)
  set(sources ${prefix}portable.cpp)
  if(BUILD_X86_KERNELS)
    list(APPEND sources ${prefix}sse2.cpp ${prefix}avx2.cpp)
    set_kernel_instruction_set(${prefix}sse2.cpp sse2)
    set_kernel_instruction_set(${prefix}avx2.cpp avx2)
  endif()
  set(${variable} ${sources} PARENT_SCOPE)
endfunction()
