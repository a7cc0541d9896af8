# The plug-in's module definition file, written from the table of exports in
# host_interface/plugin_exports.h: one row "X(ordinal, name, result,
# parameters)" per export, each name exported undecorated at its ordinal.
# The configure stops unless the table holds exactly PlugInExportCount rows,
# every one readable, at the ordinals 1 to that count in order: a row that
# is mistyped is an error, never an export quietly left out.
#
# write_module_definition(<header> <output>), or as a script:
#   cmake -DHEADER=<header> -DOUTPUT=<output> -P ModuleDefinition.cmake

function(write_module_definition header output)
  file(READ ${header} text)
  string(REGEX REPLACE "//[^\n]*" "" text "${text}")  # the comments show rows too

  string(REGEX MATCH "PlugInExportCount = ([0-9]+)" count_line "${text}")
  if(NOT count_line)
    message(FATAL_ERROR "${header}: no PlugInExportCount")
  endif()
  set(expected_count ${CMAKE_MATCH_1})

  # Every row, however it is spaced, then each read on its own.
  string(REGEX MATCHALL "[^A-Za-z0-9_]X[ \t]*\\([^\n\\]*" rows "${text}")  # without the line-continuing backslash
  set(identifier "[A-Za-z_][A-Za-z0-9_]*")
  set(definitions "EXPORTS\n")
  set(ordinal 0)
  foreach(row IN LISTS rows)
    if(NOT row MATCHES "^.X[ \t]*\\([ \t]*([0-9]+)[ \t]*,[ \t]*(${identifier})[ \t]*,")
      message(FATAL_ERROR "${header}: cannot read the export row '${row}'")
    endif()
    math(EXPR ordinal "${ordinal} + 1")
    if(NOT CMAKE_MATCH_1 EQUAL ordinal)
      message(FATAL_ERROR "${header}: export ${CMAKE_MATCH_2} has ordinal ${CMAKE_MATCH_1}, expected ${ordinal}")
    endif()
    string(APPEND definitions "    ${CMAKE_MATCH_2} @${CMAKE_MATCH_1}\n")
  endforeach()
  if(NOT ordinal EQUAL expected_count)
    message(FATAL_ERROR "${header}: ${ordinal} export rows, expected ${expected_count}")
  endif()
  file(CONFIGURE OUTPUT ${output} CONTENT "${definitions}")
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  write_module_definition(${HEADER} ${OUTPUT})
endif()
