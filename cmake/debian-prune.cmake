# Run by CPack on the files staged for the Debian package: the licence is in
# the package's copyright file, which Debian wants as its only copy.
file(GLOB_RECURSE licences "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/LICENSE")
list(FILTER licences INCLUDE REGEX "/doc/decode-escapes/LICENSE$")
if(licences)
  file(REMOVE ${licences})
endif()
