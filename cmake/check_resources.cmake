# Runs the resource generator into a scratch directory and fails when any
# committed file in resources/ differs from what it writes.
#   cmake -DGENERATOR=... -DFONT=... -DRESOURCES=... -DSCRATCH=... -P check_resources.cmake
file(REMOVE_RECURSE "${SCRATCH}")
file(MAKE_DIRECTORY "${SCRATCH}")
execute_process(COMMAND "${GENERATOR}" "${FONT}" "${SCRATCH}" RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "the generator failed (${rc})")
endif()
file(GLOB written RELATIVE "${SCRATCH}" "${SCRATCH}/*")
list(LENGTH written count)
if(count LESS 8)
  message(FATAL_ERROR "the generator wrote only ${written}")
endif()
foreach(name IN LISTS written)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files "${SCRATCH}/${name}"
                          "${RESOURCES}/${name}" RESULT_VARIABLE differs)
  if(NOT differs EQUAL 0)
    message(FATAL_ERROR "resources/${name} is not what tools/make_resources.cpp writes; "
                        "run: cmake --build <build dir> --target om_resources")
  endif()
endforeach()
message(STATUS "${count} resource files match their generator")
