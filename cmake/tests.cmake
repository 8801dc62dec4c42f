# The tests, registered in this order:
#   ---- Unit tests        ombrix_tests: every tests/*_test.cpp, the platform-
#                          suffixed ones only on their platform (GoogleTest)
#   ---- Broken sets       one program per resource script in tests/broken/
#   ---- Resources         the committed resource files match their generator
#   ---- End-to-end        the real program in a window on a private X server
# Under wine every test shares the one prefix and takes it in turn.

# ---- Unit tests ---------------------------------------------------------------
file(GLOB OM_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/*_test.cpp)
list(FILTER OM_TEST_SOURCES EXCLUDE REGEX "_(win32|linux)_test\\.cpp$")
file(GLOB OM_TEST_PLATFORM_SOURCES CONFIGURE_DEPENDS
     ${CMAKE_SOURCE_DIR}/tests/*_${OM_PLATFORM}_test.cpp)
# Plain reference implementations the tests compare fast paths against, and
# shared set-up helpers (the platform's own host part among them).
file(GLOB OM_TEST_SUPPORT_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/*_reference.cpp
     ${CMAKE_SOURCE_DIR}/tests/*_support.cpp
     ${CMAKE_SOURCE_DIR}/tests/*_support_${OM_PLATFORM}.cpp)

set(OM_GTEST_LIBS "")
if(CMAKE_CROSSCOMPILING)
  # The Linux packages ship GoogleTest for the host only; build it from source.
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  set(OM_GTEST_LIBS gtest gtest_main)
else()
  find_package(GTest)
  if(GTest_FOUND)
    set(OM_GTEST_LIBS GTest::gtest GTest::gtest_main)
  else()
    # A native Windows toolchain may come without GoogleTest: the program
    # still builds, and only the end-to-end tests are registered.
    message(STATUS "GoogleTest not found: the unit tests are not built")
  endif()
endif()

if(OM_GTEST_LIBS)
  add_executable(ombrix_tests ${OM_TEST_SOURCES} ${OM_TEST_PLATFORM_SOURCES}
                              ${OM_TEST_SUPPORT_SOURCES})
  # Tests that read committed files (examples/) find them from any build folder.
  target_compile_definitions(ombrix_tests PRIVATE OM_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  target_link_libraries(ombrix_tests PRIVATE ombrix_core ${OM_GTEST_LIBS} ombrix_host)
  om_add_resources(ombrix_tests)
  if(CMAKE_CROSSCOMPILING)
    # One process for the whole suite: every extra wine start costs half a second.
    add_test(NAME ombrix_tests COMMAND ombrix_tests)
    set_tests_properties(ombrix_tests PROPERTIES TIMEOUT 900)
  else()
    include(GoogleTest)
    gtest_discover_tests(ombrix_tests DISCOVERY_TIMEOUT 60
                         PROPERTIES ENVIRONMENT "ASAN_OPTIONS=allocator_may_return_null=1")
  endif()

  # ---- Broken sets --------------------------------------------------------------
  # Start-up must fail with each of them (tests/broken/startup_failure_test.cpp).
  foreach(set nofont baddummy)
    set(exe ombrix_tests_${set})
    add_executable(${exe} ${CMAKE_SOURCE_DIR}/tests/broken/startup_failure_test.cpp)
    target_link_libraries(${exe} PRIVATE ombrix_core ${OM_GTEST_LIBS})
    string(TOUPPER ${set} upper)
    target_compile_definitions(${exe} PRIVATE OM_BROKEN_${upper})
    om_add_resources(${exe} ${CMAKE_SOURCE_DIR}/tests/broken/${set}.rc)
    add_test(NAME broken_set_${set} COMMAND ${exe})
  endforeach()

  # ---- Resources ----------------------------------------------------------------
  if(NOT WIN32)
    add_test(NAME om_resources_match
      COMMAND ${CMAKE_COMMAND} -DGENERATOR=$<TARGET_FILE:om_make_resources>
              -DFONT=${CMAKE_SOURCE_DIR}/tools/font8x8.txt
              -DRESOURCES=${CMAKE_SOURCE_DIR}/resources
              -DSCRATCH=${CMAKE_BINARY_DIR}/resources/generated
              -P ${CMAKE_SOURCE_DIR}/cmake/check_resources.cmake)
  endif()
endif()

# ---- End-to-end ---------------------------------------------------------------
# The real window under a private X server. Each test starts a server of its
# own; two starting at once can race for the same display number, so they
# take turns.
if(WIN32)
  set(OM_E2E_MODE wine)
else()
  set(OM_E2E_MODE linux)
endif()
# om_add_e2e(SUFFIX SCRIPT OUTDIR): the end-to-end script run on the program.
function(om_add_e2e suffix script outdir)
  add_test(NAME e2e_${OM_E2E_MODE}${suffix}
           COMMAND sh ${CMAKE_SOURCE_DIR}/tests/e2e/${script} ${OM_E2E_MODE}
                   $<TARGET_FILE:ombrix> ${CMAKE_BINARY_DIR}/${outdir})
  set_tests_properties(e2e_${OM_E2E_MODE}${suffix} PROPERTIES TIMEOUT 600 LABELS e2e
                       RESOURCE_LOCK x_server)
endfunction()
om_add_e2e("" run.sh e2e)
# Building a room with the mouse, walking into it and undoing it.
om_add_e2e(_build build.sh e2e-build)
om_add_e2e(_files files.sh e2e-files)
# The sample world in heights mode: the look switched, a step walked up.
om_add_e2e(_heights heights.sh e2e-heights)
# The sample world's images in the first-person view, and the fallback
# without them.
om_add_e2e(_images images.sh e2e-images)
add_test(NAME e2e_${OM_E2E_MODE}_nofont
         COMMAND sh ${CMAKE_SOURCE_DIR}/tests/e2e/broken.sh ${OM_E2E_MODE}
                 $<TARGET_FILE:ombrix_nofont> ${CMAKE_BINARY_DIR}/e2e-nofont)
set_tests_properties(e2e_${OM_E2E_MODE}_nofont PROPERTIES TIMEOUT 300 LABELS e2e
                     RESOURCE_LOCK x_server)
if(WIN32 AND TARGET ombrix_tests)
  # The unit suite runs without a display, where the window tests skip;
  # here they get one.
  add_test(NAME host_window_wine
           COMMAND sh ${CMAKE_SOURCE_DIR}/tests/e2e/with_display.sh ${CMAKE_BINARY_DIR}/e2e-unit
                   wine $<TARGET_FILE:ombrix_tests> --gtest_filter=Host.Window*)
  set_tests_properties(host_window_wine PROPERTIES TIMEOUT 300 LABELS e2e RESOURCE_LOCK x_server
                       FAIL_REGULAR_EXPRESSION "SKIPPED|FAILED"
                       ENVIRONMENT "${OM_WINE_ENV}")
endif()

if(WIN32)
  # Every test that runs wine shares the one prefix, and the end-to-end
  # tests restart its server: never two at once. This lock replaces the X
  # server's, which it implies.
  get_property(OM_ALL_TESTS DIRECTORY ${CMAKE_SOURCE_DIR} PROPERTY TESTS)
  set_tests_properties(${OM_ALL_TESTS} PROPERTIES RESOURCE_LOCK wineprefix)
endif()
