# Hardening and reproducibility for the project's own targets, per
# toolchain: add_project_hardening(<target>), beside add_project_warnings.

if(MSVC)
  # The runtime linked in, so that nothing needs a VCRUNTIME DLL. Every
  # library of a program must use the same runtime, those built here from
  # other projects' sources too, so this one choice holds for the whole build.
  set(CMAKE_MSVC_RUNTIME_LIBRARY "MultiThreaded$<$<CONFIG:Debug>:Debug>")
elseif(NOT MINGW AND CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  # Lets POSITION_INDEPENDENT_CODE link executables as PIE.
  include(CheckPIESupported)
  check_pie_supported()
endif()

function(add_project_hardening target)
  if(MSVC)
    # No manifest in the binaries and no time stamps. The linker's defaults
    # already ask for /DYNAMICBASE, /NXCOMPAT, /HIGHENTROPYVA (64-bit) and,
    # on x86, /SAFESEH.
    target_compile_options(${target} PRIVATE /Brepro)
    target_link_options(${target} PRIVATE /MANIFEST:NO /Brepro)
  elseif(MINGW)
    # Address-space layout randomisation with the relocations it needs, no
    # executable data, and no time stamp in the headers, so that two builds
    # of the same sources give the same bytes. GCC's -fstack-protector-strong
    # is left out: with this MinGW-w64 it links libssp, whose constructor
    # runs at load and imports the system's random source and file functions.
    target_link_options(${target} PRIVATE -Wl,--dynamicbase -Wl,--nxcompat -Wl,--no-insert-timestamp)
    if(CMAKE_SIZEOF_VOID_P EQUAL 8)
      target_link_options(${target} PRIVATE -Wl,--high-entropy-va)
    endif()
    # No build folder in the binaries, wherever the build is made.
    target_compile_options(${target} PRIVATE -ffile-prefix-map=${PROJECT_SOURCE_DIR}=.
      -ffile-prefix-map=${PROJECT_BINARY_DIR}=.)
  elseif(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    # Debian's usual hardening: stack protector, checked string and memory
    # functions where the optimiser can see the sizes, position-independent
    # executables, and relocations made read-only before the program starts.
    set_target_properties(${target} PROPERTIES POSITION_INDEPENDENT_CODE ON)
    target_compile_options(${target} PRIVATE -fstack-protector-strong)
    target_compile_definitions(${target} PRIVATE $<$<NOT:$<CONFIG:Debug>>:_FORTIFY_SOURCE=2>)
    target_link_options(${target} PRIVATE -Wl,-z,relro -Wl,-z,now)
  endif()
endfunction()
