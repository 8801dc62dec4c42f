# The program `ombrix`: the host window over the game core.
#
# The host's sources (src/system*_<platform>.cpp) form an object library so
# the unit tests can link the message translation without the entry point:
# on Linux main() lives alone in system_linux.cpp; on Windows the tests' own
# main() is the console entry and WinMain simply goes unused.
file(GLOB OM_HOST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/system*_${OM_PLATFORM}.cpp)
list(FILTER OM_HOST_SOURCES EXCLUDE REGEX "/system_linux\\.cpp$")

add_library(ombrix_host OBJECT ${OM_HOST_SOURCES})
target_link_libraries(ombrix_host PUBLIC ombrix_core)

if(WIN32)
  # The window, its messages and the blit, and the command line's split
  # (shell32); the core brings the rest.
  target_link_libraries(ombrix_host PUBLIC user32 gdi32 shell32)
else()
  find_package(SDL2 CONFIG QUIET)
  if(TARGET SDL2::SDL2)
    target_link_libraries(ombrix_host PUBLIC SDL2::SDL2)
  else()
    find_package(PkgConfig REQUIRED)
    pkg_check_modules(OM_SDL2 REQUIRED IMPORTED_TARGET sdl2)
    target_link_libraries(ombrix_host PUBLIC PkgConfig::OM_SDL2)
  endif()
endif()

# om_add_program(<name> [<script.rc>]): the program, with the default
# resource set or with another one.
function(om_add_program name)
  if(WIN32)
    add_executable(${name} WIN32)
  else()
    add_executable(${name} ${CMAKE_SOURCE_DIR}/src/system_linux.cpp)
  endif()
  # Linking the object library puts its objects into the program.
  target_link_libraries(${name} PRIVATE ombrix_host)
  om_add_resources(${name} ${ARGN})
endfunction()

om_add_program(ombrix)
# The program without its font: it must refuse to start, with the error box
# (the end-to-end test e2e_<mode>_nofont).
om_add_program(ombrix_nofont ${CMAKE_SOURCE_DIR}/tests/broken/nofont.rc)
