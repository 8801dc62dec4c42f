# ombrix_bench: Google Benchmark timings of the renderer and the simulation,
# each also given as a ratio to copying one 640 x 480 frame, and of what grows
# with the world (the map frame, get_sector_at, loading and saving) on grids
# of 30, 100 and 255 squares a side, each beside its small-world counterpart.
# Linux only; built with everything else, run by hand (see README,
# "Benchmarks"). It shares the tests' references and set-up, which take the
# host's globals along.
if(NOT WIN32)
  find_package(benchmark)
  if(benchmark_FOUND)
    add_executable(ombrix_bench ${CMAKE_SOURCE_DIR}/bench/bench_main.cpp
                                ${CMAKE_SOURCE_DIR}/bench/render_bench.cpp
                                ${CMAKE_SOURCE_DIR}/bench/world_bench.cpp
                                ${CMAKE_SOURCE_DIR}/bench/image_bench.cpp
                                ${CMAKE_SOURCE_DIR}/tests/render_reference.cpp
                                ${CMAKE_SOURCE_DIR}/tests/sector_reference.cpp
                                ${CMAKE_SOURCE_DIR}/tests/grid_support.cpp
                                ${CMAKE_SOURCE_DIR}/tests/scene_support.cpp
                                ${CMAKE_SOURCE_DIR}/tests/host_support_linux.cpp)
    target_compile_options(ombrix_bench PRIVATE "-iquote${CMAKE_SOURCE_DIR}/tests")
    target_compile_definitions(ombrix_bench PRIVATE OM_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
    target_link_libraries(ombrix_bench PRIVATE ombrix_host benchmark::benchmark)
    om_add_resources(ombrix_bench)
  else()
    message(STATUS "Google Benchmark not found: ombrix_bench is not built")
  endif()
endif()
