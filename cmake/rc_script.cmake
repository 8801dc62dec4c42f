# Reads the subset of a Windows resource script that the program uses, so
# that the Linux build embeds exactly what windres compiles on Windows:
#   NAME TYPE "file"     with TYPE RCDATA or ICON, file relative to the script
#   LANGUAGE ...         (Windows only, skipped here)
#   // comment, blank line
# Anything else stops the build rather than silently losing a resource.
function(om_read_rc rc_file out_types out_names out_files)
  get_filename_component(dir "${rc_file}" DIRECTORY)
  file(STRINGS "${rc_file}" lines)
  set(types "")
  set(names "")
  set(files "")
  foreach(line IN LISTS lines)
    string(STRIP "${line}" line)
    if(line STREQUAL "" OR line MATCHES "^//" OR line MATCHES "^LANGUAGE[ \t]")
      continue()
    endif()
    if(NOT line MATCHES "^([A-Za-z0-9_]+)[ \t]+(RCDATA|ICON)[ \t]+\"([^\"]+)\"$")
      message(FATAL_ERROR "${rc_file}: cannot embed the line '${line}'")
    endif()
    list(APPEND names "${CMAKE_MATCH_1}")
    list(APPEND types "${CMAKE_MATCH_2}")
    get_filename_component(path "${CMAKE_MATCH_3}" ABSOLUTE BASE_DIR "${dir}")
    list(APPEND files "${path}")
  endforeach()
  set(${out_types} "${types}" PARENT_SCOPE)
  set(${out_names} "${names}" PARENT_SCOPE)
  set(${out_files} "${files}" PARENT_SCOPE)
endfunction()

# Run as a script (cmake -DRC=... -DOUT=... -P rc_script.cmake): writes a C++
# source holding every resource of the script as a named byte block.
if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  om_read_rc("${RC}" types names files)
  set(blocks "")
  set(entries "")
  set(count 0)
  foreach(type name file IN ZIP_LISTS types names files)
    file(READ "${file}" hex HEX)
    string(LENGTH "${hex}" digits)
    if(digits EQUAL 0)
      message(FATAL_ERROR "${file}: an empty resource cannot be embedded")
    endif()
    math(EXPR size "${digits} / 2")
    # Sixteen bytes to a line keeps the generated file readable.
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," hex "${hex}")
    string(REPEAT "0x..," 16 line)
    string(REGEX REPLACE "(${line})" "\\1\n    " hex "${hex}")
    string(APPEND blocks "// ${type} ${name}: ${file}\n")
    string(APPEND blocks "static const u8 block${count}[${size}] = {\n    ${hex}\n};\n\n")
    string(APPEND entries "    {\"${type}\", \"${name}\", block${count}, ${size}},\n")
    math(EXPR count "${count} + 1")
  endforeach()
  if(count EQUAL 0)
    set(entries "    {\"\", \"\", nullptr, 0},\n")
  endif()
  file(WRITE "${OUT}.tmp"
    "// Generated from ${RC} at build time. Do not edit.\n"
    "#include \"stream_linux.h\"\n\n"
    "${blocks}"
    "const OM_EmbeddedResource OM_embeddedResources[] = {\n${entries}};\n"
    "const reg OM_embeddedResourceCount = ${count};\n")
  file(COPY_FILE "${OUT}.tmp" "${OUT}" ONLY_IF_DIFFERENT)
  file(REMOVE "${OUT}.tmp")
endif()
