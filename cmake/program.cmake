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

# The version, compiled into --version; on Linux, --help also names where an
# installation keeps the sample world and the README (cmake/release.cmake).
include(GNUInstallDirs)
set_property(SOURCE ${CMAKE_SOURCE_DIR}/src/command_line.cpp APPEND
             PROPERTY COMPILE_DEFINITIONS OM_VERSION="${PROJECT_VERSION}")
set_property(SOURCE ${CMAKE_SOURCE_DIR}/src/system_linux.cpp APPEND
             PROPERTY COMPILE_DEFINITIONS OM_DATA_DIR="${CMAKE_INSTALL_FULL_DATADIR}"
                      OM_DOC_DIR="${CMAKE_INSTALL_FULL_DOCDIR}")
if(WIN32)
  # The version resource of the program (its properties in Explorer). It is
  # a script of its own: the shared one (resources/ombrix.rc) is also read
  # on Linux, which embeds files and knows no version blocks.
  configure_file(${CMAKE_SOURCE_DIR}/resources/version.rc.in
                 ${CMAKE_BINARY_DIR}/resources/version.rc @ONLY)
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/resources/version.res.o
    COMMAND ${CMAKE_RC_COMPILER} -O coff -i ${CMAKE_BINARY_DIR}/resources/version.rc
            -o ${CMAKE_BINARY_DIR}/resources/version.res.o
    DEPENDS ${CMAKE_BINARY_DIR}/resources/version.rc
    COMMENT "Compiling the version resource")
  target_sources(ombrix PRIVATE ${CMAKE_BINARY_DIR}/resources/version.res.o)
endif()
# The program without its font: it must refuse to start, with the error box
# (the end-to-end test e2e_<mode>_nofont).
om_add_program(ombrix_nofont ${CMAKE_SOURCE_DIR}/tests/broken/nofont.rc)
