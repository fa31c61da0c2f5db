# Host build: unit tests, tools, fuzz targets and benchmarks.
find_package(GTest REQUIRED)
include(GoogleTest)

# The native command line (velmora-convert) and the conversion driver it
# shares with vmtool.
file(GLOB VELMORA_CLI_SOURCES CONFIGURE_DEPENDS cli/*.cpp)
list(FILTER VELMORA_CLI_SOURCES EXCLUDE REGEX "/main\\.cpp$")
add_library(velmora_cli STATIC ${VELMORA_CLI_SOURCES})
target_link_libraries(velmora_cli PUBLIC velmora_core)
add_executable(velmora-convert cli/main.cpp)
target_link_libraries(velmora-convert PRIVATE velmora_cli)
include(GNUInstallDirs)
install(TARGETS velmora-convert RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

if(NOT VELMORA_FUZZ)
  file(GLOB VELMORA_TEST_SOURCES CONFIGURE_DEPENDS tests/*.cpp)
  add_executable(velmora_tests ${VELMORA_TEST_SOURCES})
  target_link_libraries(velmora_tests PRIVATE velmora_cli GTest::gtest GTest::gtest_main)
  target_compile_definitions(velmora_tests PRIVATE
    VELMORA_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    VELMORA_BINARY_DIR="${CMAKE_BINARY_DIR}")
  gtest_discover_tests(velmora_tests DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "VELMORA_SOURCE_DIR=${CMAKE_SOURCE_DIR}")
endif()

# Developer tool.
file(GLOB VELMORA_TOOL_SOURCES CONFIGURE_DEPENDS tools/vmtool/*.cpp)
if(VELMORA_TOOL_SOURCES)
  add_executable(vmtool ${VELMORA_TOOL_SOURCES})
  target_link_libraries(vmtool PRIVATE velmora_cli)
endif()

# Fuzz targets: with libFuzzer under clang, else replay programs that run the
# target over the files named on the command line.
file(GLOB VELMORA_FUZZ_SOURCES CONFIGURE_DEPENDS fuzz/*_fuzz.cpp)
if(VELMORA_FUZZ)
  # Coverage feedback from the code under test, not only from the targets.
  target_compile_options(velmora_core PRIVATE -fsanitize=fuzzer-no-link)
endif()
foreach(src ${VELMORA_FUZZ_SOURCES})
  get_filename_component(name ${src} NAME_WE)
  if(VELMORA_FUZZ)
    add_executable(${name} ${src})
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  else()
    add_executable(${name} ${src} fuzz/replay_main.cpp)
  endif()
  target_link_libraries(${name} PRIVATE velmora_core)
endforeach()

if(VELMORA_BENCH)
  find_package(benchmark QUIET)
  file(GLOB VELMORA_BENCH_SOURCES CONFIGURE_DEPENDS bench/*_bench.cpp)
  if(benchmark_FOUND)
    foreach(src ${VELMORA_BENCH_SOURCES})
      get_filename_component(name ${src} NAME_WE)
      add_executable(${name} ${src})
      target_link_libraries(${name} PRIVATE velmora_core benchmark::benchmark)
    endforeach()
  endif()
endif()

