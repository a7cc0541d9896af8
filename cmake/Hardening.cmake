# Hardening and reproducibility for every target of the project, per
# toolchain. Included from the top-level CMakeLists.txt before any target.

if(MSVC)
  # The runtime linked in, so that nothing needs a VCRUNTIME DLL, and no
  # manifest in the binaries. The linker's defaults already ask for
  # /DYNAMICBASE, /NXCOMPAT, /HIGHENTROPYVA (64-bit) and, on x86, /SAFESEH.
  set(CMAKE_MSVC_RUNTIME_LIBRARY "MultiThreaded$<$<CONFIG:Debug>:Debug>")
  add_link_options(/MANIFEST:NO /Brepro)
  add_compile_options(/Brepro)
elseif(MINGW)
  # Address-space layout randomisation with the relocations it needs, no
  # executable data, and no time stamp in the headers, so that two builds of
  # the same sources give the same bytes. GCC's -fstack-protector-strong is
  # left out: with this MinGW-w64 it links libssp, whose constructor runs at
  # load and imports the system's random source and file functions.
  add_link_options(-Wl,--dynamicbase -Wl,--nxcompat -Wl,--no-insert-timestamp)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    add_link_options(-Wl,--high-entropy-va)
  endif()
  # No build folder in the binaries, wherever the build is made.
  add_compile_options(-ffile-prefix-map=${PROJECT_SOURCE_DIR}=. -ffile-prefix-map=${PROJECT_BINARY_DIR}=.)
elseif(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  # Debian's usual hardening: stack protector, checked string and memory
  # functions where the optimiser can see the sizes, position-independent
  # executables, and relocations made read-only before the program starts.
  include(CheckPIESupported)
  check_pie_supported()
  set(CMAKE_POSITION_INDEPENDENT_CODE ON)
  add_compile_options(-fstack-protector-strong)
  add_compile_definitions($<$<NOT:$<CONFIG:Debug>>:_FORTIFY_SOURCE=2>)
  add_link_options(-Wl,-z,relro -Wl,-z,now)
endif()
