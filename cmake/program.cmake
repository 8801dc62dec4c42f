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
  target_link_libraries(ombrix_host PUBLIC user32 gdi32 ole32 oleaut32 uuid windowscodecs)
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
  if(COMMAND om_add_resources)
    om_add_resources(${name} ${ARGN})
  endif()
endfunction()

om_add_program(ombrix)
# The program without its font: it must refuse to start, with the error box.
if(EXISTS ${CMAKE_SOURCE_DIR}/tests/broken/nofont.rc)
  om_add_program(ombrix_nofont ${CMAKE_SOURCE_DIR}/tests/broken/nofont.rc)
endif()

# The unit tests and the end-to-end tests are declared after this file is
# read (cmake/tests.cmake); hook in once the whole directory is known.
function(om_program_tests)
  if(TARGET ombrix_tests)
    target_link_libraries(ombrix_tests PRIVATE ombrix_host)
  endif()
  # The end-to-end run drives the real window under a private X server.
  if(WIN32)
    set(mode wine)
  else()
    set(mode linux)
  endif()
  add_test(NAME e2e_${mode}
           COMMAND sh ${CMAKE_SOURCE_DIR}/tests/e2e/run.sh ${mode} $<TARGET_FILE:ombrix>
                   ${CMAKE_BINARY_DIR}/e2e)
  # Each starts an X server of its own; two starting at once can race for
  # the same display number, so they take turns.
  set_tests_properties(e2e_${mode} PROPERTIES TIMEOUT 600 LABELS e2e RESOURCE_LOCK x_server)
  if(TARGET ombrix_nofont)
    add_test(NAME e2e_${mode}_nofont
             COMMAND sh ${CMAKE_SOURCE_DIR}/tests/e2e/broken.sh ${mode}
                     $<TARGET_FILE:ombrix_nofont> ${CMAKE_BINARY_DIR}/e2e-nofont)
    set_tests_properties(e2e_${mode}_nofont PROPERTIES TIMEOUT 300 LABELS e2e
                         RESOURCE_LOCK x_server)
  endif()
  if(WIN32 AND TARGET ombrix_tests)
    # The unit suite runs without a display, where the window tests skip;
    # here they get one.
    add_test(NAME host_window_wine
             COMMAND sh ${CMAKE_SOURCE_DIR}/tests/e2e/with_display.sh ${CMAKE_BINARY_DIR}/e2e-unit
                     wine $<TARGET_FILE:ombrix_tests> --gtest_filter=Host.Window*)
    set_tests_properties(host_window_wine PROPERTIES TIMEOUT 300 LABELS e2e RESOURCE_LOCK x_server
                         FAIL_REGULAR_EXPRESSION "SKIPPED|FAILED"
                         ENVIRONMENT "WINEDEBUG=-all;WINEARCH=win64;WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix")
  endif()
  if(WIN32)
    # Every test that runs wine shares the one prefix, and the end-to-end
    # tests restart its server: never two at once.
    get_property(tests DIRECTORY ${CMAKE_SOURCE_DIR} PROPERTY TESTS)
    set_tests_properties(${tests} PROPERTIES RESOURCE_LOCK wineprefix)
  endif()
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL om_program_tests)
