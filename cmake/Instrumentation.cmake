# Instrumentation of the whole build, chosen when it is configured; the
# targets themselves know nothing of it.
#   SANITIZERS=address,undefined: every target compiled and linked with these
#     sanitizers, which stop the program at the first error.
#   BUILD_FUZZERS=ON: the libFuzzer targets are built (clang only), and every
#     target reports its coverage to them, so that a fuzzer is guided by the
#     code under test and not only by its own harness.
set(SANITIZERS "" CACHE STRING "Sanitizers for every target, as -fsanitize= takes them (address,undefined)")
option(BUILD_FUZZERS "Build the libFuzzer targets (clang only)" OFF)

if(SANITIZERS)
  add_compile_options(-fsanitize=${SANITIZERS} -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=${SANITIZERS})
endif()

if(BUILD_FUZZERS)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "BUILD_FUZZERS needs clang (-DCMAKE_CXX_COMPILER=clang++)")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

# A fuzz target: its harness linked with libFuzzer's main.
function(add_fuzzer target)
  add_executable(${target} ${ARGN})
  target_link_options(${target} PRIVATE -fsanitize=fuzzer)
endfunction()
