# ombrix_tests: every tests/*_test.cpp, the platform-suffixed ones only on
# their platform.
file(GLOB OM_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/*_test.cpp)
list(FILTER OM_TEST_SOURCES EXCLUDE REGEX "_(win32|linux)_test\\.cpp$")
file(GLOB OM_TEST_PLATFORM_SOURCES CONFIGURE_DEPENDS
     ${CMAKE_SOURCE_DIR}/tests/*_${OM_PLATFORM}_test.cpp)
# Plain reference implementations the tests compare fast paths against, and
# shared set-up helpers.
file(GLOB OM_TEST_REFERENCE_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/*_reference.cpp
     ${CMAKE_SOURCE_DIR}/tests/*_support.cpp)

if(CMAKE_CROSSCOMPILING)
  # The Linux packages ship GoogleTest for the host only; build it from source.
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  set(OM_GTEST_LIBS gtest gtest_main)
else()
  find_package(GTest)
  if(NOT GTest_FOUND)
    # A native Windows toolchain may come without GoogleTest: the program
    # still builds.
    message(STATUS "GoogleTest not found: the tests are not built")
    return()
  endif()
  set(OM_GTEST_LIBS GTest::gtest GTest::gtest_main)
endif()

add_executable(ombrix_tests ${OM_TEST_SOURCES} ${OM_TEST_PLATFORM_SOURCES}
                            ${OM_TEST_REFERENCE_SOURCES})
target_link_libraries(ombrix_tests PRIVATE ombrix_core ${OM_GTEST_LIBS})
if(COMMAND om_add_resources)
  om_add_resources(ombrix_tests)
endif()

if(CMAKE_CROSSCOMPILING)
  # One process for the whole suite: every extra wine start costs half a second.
  add_test(NAME ombrix_tests COMMAND ombrix_tests)
  set_tests_properties(ombrix_tests PROPERTIES TIMEOUT 900)
else()
  include(GoogleTest)
  gtest_discover_tests(ombrix_tests DISCOVERY_TIMEOUT 60
                       PROPERTIES ENVIRONMENT "ASAN_OPTIONS=allocator_may_return_null=1")
endif()
