# The Debian package of decode-escapes, made by CPack from what
# `cmake --install` puts in place:
#   cmake -S . -B build/deb -DDECODE_ESCAPES_ONLY=ON -DCMAKE_INSTALL_PREFIX=/usr
#   cmake --build build/deb && (cd build/deb && cpack -G DEB)
# Its copyright file is made from LICENSE in Debian's machine-readable
# format, its changelog from cmake/debian-changelog.in; the dependencies come
# from the program itself (dpkg-shlibdeps).

include(GNUInstallDirs)
find_program(GZIP_PROGRAM gzip)

set(DEBIAN_MAINTAINER "The Unicode escape decoder plug-in authors <decode-escapes@example.org>"
  CACHE STRING "The maintainer named by the Debian package and its changelog")
set(debian_docs ${PROJECT_BINARY_DIR}/debian)
set(doc_folder ${CMAKE_INSTALL_DATAROOTDIR}/doc/decode-escapes)

# copyright: the licence's first "Copyright" line and its text, indented as
# the format wants, an empty line written as " .".
file(STRINGS ${PROJECT_SOURCE_DIR}/LICENSE licence_lines)
set(licence_text "")
set(copyright_holders "")
foreach(line IN LISTS licence_lines)
  if(line MATCHES "^Copyright \\(c\\) (.*)$" AND NOT copyright_holders)
    set(copyright_holders "${CMAKE_MATCH_1}")
  elseif(copyright_holders)
    if(line STREQUAL "")
      string(APPEND licence_text " .\n")
    else()
      string(APPEND licence_text " ${line}\n")
    endif()
  endif()
endforeach()
string(REGEX REPLACE "^ \\.\n" "" licence_text "${licence_text}")
file(WRITE ${debian_docs}/copyright
"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: decode-escapes
Comment: decode-escapes is linked with parts of the GCC runtime (libstdc++,
 libgcc), which are under the GNU General Public License, version 3, with the
 GCC Runtime Library Exception, version 3.1; that exception permits this.

Files: *
Copyright: ${copyright_holders}
License: Expat
${licence_text}")

# changelog.gz, compressed as Debian's tools compress it (no name, no time).
configure_file(${PROJECT_SOURCE_DIR}/cmake/debian-changelog.in ${debian_docs}/changelog @ONLY)
if(GZIP_PROGRAM)
  add_custom_command(OUTPUT ${debian_docs}/changelog.gz
    COMMAND ${GZIP_PROGRAM} -9n -c ${debian_docs}/changelog > ${debian_docs}/changelog.gz
    DEPENDS ${debian_docs}/changelog)
  add_custom_target(debian-changelog ALL DEPENDS ${debian_docs}/changelog.gz)
  install(FILES ${debian_docs}/copyright ${debian_docs}/changelog.gz DESTINATION ${doc_folder})
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME decode-escapes)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${DEBIAN_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "decode character references and \\\\u escapes in text")
set(CPACK_PACKAGE_DESCRIPTION "decode-escapes replaces the escapes of one kind in a text by the characters
that they name: decimal character references such as &#26085; or universal
character names such as \\\\u65e5, exactly as the editor plug-in decodes them;
every character reference of HTML, as a browser reads it; or the \\\\u escapes
of a JSON document, which stays valid. It reads UTF-8 and UTF-16 from files
or pipes in blocks, keeps the encoding and the byte order mark, and rewrites
files in place safely, with a backup if asked.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION text)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/debian-prune.cmake)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
