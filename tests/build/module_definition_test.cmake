# The module definition file written from the table of exports, and the
# configure stopped by a table that cannot be read whole. Each row changes
# the real table in one place. Run by ctest:
#   cmake -DSOURCE_DIR=<sources> -DWORK_DIR=<scratch folder> -P module_definition_test.cmake
file(READ ${SOURCE_DIR}/host_interface/plugin_exports.h table)
file(MAKE_DIRECTORY ${WORK_DIR})

function(check name from to outcome)
  string(REPLACE "${from}" "${to}" changed "${table}")
  if(from AND changed STREQUAL table)
    message(SEND_ERROR "${name}: the table has no '${from}' to change")
  endif()
  set(output ${WORK_DIR}/${name}.def)
  file(REMOVE ${output})
  file(WRITE ${WORK_DIR}/${name}.h "${changed}")
  execute_process(COMMAND ${CMAKE_COMMAND} -DHEADER=${WORK_DIR}/${name}.h -DOUTPUT=${output}
    -P ${SOURCE_DIR}/cmake/ModuleDefinition.cmake RESULT_VARIABLE result OUTPUT_QUIET ERROR_QUIET)
  if(outcome STREQUAL "refused")
    if(result EQUAL 0 OR EXISTS ${output})
      message(SEND_ERROR "${name}: the table was taken")
    endif()
    return()
  endif()
  file(STRINGS ${output} lines)
  list(LENGTH lines count)
  if(NOT result EQUAL 0 OR NOT count EQUAL 8 OR NOT lines MATCHES "QueryStatus @2;.*PlugInProc @7$")
    message(SEND_ERROR "${name}: not the seven exports at their ordinals: ${lines}")
  endif()
endfunction()

check(as-it-stands "" "" written)
check(spaced-otherwise "X(2, QueryStatus," "X( 2 ,QueryStatus ," written)
check(row-left-out "X(5, GetStatusMessageID, UINT, (void))" "" refused)
check(ordinal-twice "X(6, GetBitmapID" "X(7, GetBitmapID" refused)
check(name-unreadable "X(7, PlugInProc" "X(7, Plug-InProc" refused)
check(count-differs "PlugInExportCount = 7" "PlugInExportCount = 8" refused)
