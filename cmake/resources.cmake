# The program's embedded resources. resources/ombrix.rc is the one list of
# them. On Windows it is compiled with windres into every executable; on
# Linux it becomes a table of named byte blocks (src/stream_linux.h) linked
# into ombrix_core.
#
#   om_add_resources(<target> [<script.rc>])
#
# gives <target> the resources of <script.rc> (default: resources/ombrix.rc).
# With another script, the target gets that set instead of the default one:
# on Linux its table is linked into the target itself and, being found
# before the core library, replaces the core's table. Tests and program
# variants use this to start up with a broken set (see tests/broken/).
include(${CMAKE_CURRENT_LIST_DIR}/rc_script.cmake)

set(OM_RESOURCE_SCRIPT ${CMAKE_SOURCE_DIR}/resources/ombrix.rc)

# Lists the script's files for the build's dependencies and re-runs the
# configuration when the script itself changes.
function(om_rc_inputs rc_file out_var)
  om_read_rc("${rc_file}" types names files)
  set_property(DIRECTORY ${CMAKE_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${rc_file}")
  set(${out_var} "${rc_file}" ${files} PARENT_SCOPE)
endfunction()

# A build-tree name for what is generated from a script.
function(om_rc_output rc_file suffix out_var)
  get_filename_component(stem "${rc_file}" NAME_WE)
  string(MD5 tag "${rc_file}")
  string(SUBSTRING "${tag}" 0 8 tag)
  file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/resources)
  set(${out_var} ${CMAKE_BINARY_DIR}/resources/${stem}_${tag}${suffix} PARENT_SCOPE)
endfunction()

if(WIN32)
  if(NOT CMAKE_RC_COMPILER)
    find_program(CMAKE_RC_COMPILER NAMES ${CMAKE_CXX_COMPILER_TARGET}-windres windres REQUIRED)
  endif()
  # windres is run directly: the core's compile options (-iquote) are for
  # the C++ compiler and mean something else to windres.
  function(om_add_resources target)
    set(rc_file ${OM_RESOURCE_SCRIPT})
    if(ARGC GREATER 1)
      set(rc_file ${ARGV1})
    endif()
    om_rc_inputs("${rc_file}" inputs)
    om_rc_output("${rc_file}" ".res.o" object)
    get_filename_component(dir "${rc_file}" DIRECTORY)
    add_custom_command(OUTPUT ${object}
      COMMAND ${CMAKE_RC_COMPILER} -I ${dir} -O coff -i ${rc_file} -o ${object}
      DEPENDS ${inputs}
      COMMENT "Compiling resources ${rc_file}")
    target_sources(${target} PRIVATE ${object})
  endfunction()
else()
  function(om_embed_resources target rc_file)
    om_rc_inputs("${rc_file}" inputs)
    om_rc_output("${rc_file}" "_table.cpp" table)
    add_custom_command(OUTPUT ${table}
      COMMAND ${CMAKE_COMMAND} -DRC=${rc_file} -DOUT=${table}
              -P ${CMAKE_SOURCE_DIR}/cmake/rc_script.cmake
      DEPENDS ${inputs} ${CMAKE_SOURCE_DIR}/cmake/rc_script.cmake
      COMMENT "Embedding resources ${rc_file}")
    target_sources(${target} PRIVATE ${table})
  endfunction()

  om_embed_resources(ombrix_core ${OM_RESOURCE_SCRIPT})

  function(om_add_resources target)
    if(ARGC GREATER 1 AND NOT ARGV1 STREQUAL OM_RESOURCE_SCRIPT)
      om_embed_resources(${target} ${ARGV1})
    endif()
  endfunction()

  # The generator of the resource files. Run it by hand after changing a
  # picture or a glyph:  cmake --build build/linux --target om_resources
  # The test om_resources_match checks that the committed files are its
  # output.
  add_executable(om_make_resources ${CMAKE_SOURCE_DIR}/tools/make_resources.cpp)
  add_custom_target(om_resources
    COMMAND om_make_resources ${CMAKE_SOURCE_DIR}/tools/font8x8.txt ${CMAKE_SOURCE_DIR}/resources
    COMMENT "Writing the resource files into resources/")
  # The sample world's images (examples/textures/), likewise by hand:
  #   cmake --build build/linux --target om_textures
  add_executable(om_make_textures ${CMAKE_SOURCE_DIR}/tools/make_textures.cpp)
  add_custom_target(om_textures
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_SOURCE_DIR}/examples/textures
    COMMAND om_make_textures ${CMAKE_SOURCE_DIR}/examples/textures
    COMMENT "Writing the sample world's images into examples/textures/")
endif()
