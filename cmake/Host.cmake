# Host build: unit tests, tools, fuzz targets and benchmarks. Without
# VELMORA_TESTS the build needs no GoogleTest (velmora-convert alone, say).
if(VELMORA_TESTS)
  find_package(GTest REQUIRED)
  include(GoogleTest)
endif()

# The native command line for a copied store.
add_executable(velmora-convert cli/main.cpp)
target_link_libraries(velmora-convert PRIVATE velmora_cli)
include(GNUInstallDirs)
install(TARGETS velmora-convert RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# Developer tool.
add_executable(vmtool
  tools/vmtool/cmd_coding.cpp
  tools/vmtool/cmd_convert.cpp
  tools/vmtool/cmd_index.cpp
  tools/vmtool/cmd_make_store.cpp
  tools/vmtool/main.cpp
)
target_link_libraries(vmtool PRIVATE velmora_cli)
velmora_include_root(vmtool tools)

if(VELMORA_TESTS AND NOT VELMORA_FUZZ)
  add_executable(velmora_tests
    tests/AddressBookTest.cpp
    tests/AppTest.cpp
    tests/CodingBase64Test.cpp
    tests/CodingCharsetTest.cpp
    tests/CodingJisTest.cpp
    tests/CodingMailDateTest.cpp
    tests/CodingMimeHeaderTest.cpp
    tests/CodingMimePartTest.cpp
    tests/CodingRashomonTest.cpp
    tests/CodingTransferTest.cpp
    tests/ConvertCliTest.cpp
    tests/EmlWriterTest.cpp
    tests/EudoraLocationTest.cpp
    tests/EudoraWriterTest.cpp
    tests/FrameworkTest.cpp
    tests/IndexFileTest.cpp
    tests/MboxWriterTest.cpp
    tests/NamingTest.cpp
    tests/NetscapeLookupTest.cpp
    tests/NetscapeWriterTest.cpp
    tests/RebuildTest.cpp
    tests/StoreToolTest.cpp
    tests/TestSupport.cpp
    tests/TrayListTest.cpp
    tests/WholeProgramTest.cpp
    tests/WriterCopyTest.cpp
  )
  target_link_libraries(velmora_tests PRIVATE velmora_cli GTest::gtest GTest::gtest_main)
  velmora_include_root(velmora_tests tests)
  target_compile_definitions(velmora_tests PRIVATE
    VELMORA_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    VELMORA_BINARY_DIR="${CMAKE_BINARY_DIR}")
  # Some tests run the two programs.
  add_dependencies(velmora_tests velmora-convert vmtool)
  gtest_discover_tests(velmora_tests DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "VELMORA_SOURCE_DIR=${CMAKE_SOURCE_DIR}")
endif()

# Fuzz targets, each with the library of the code it drives: with libFuzzer
# under clang, else replay programs that run the target over the files (or
# the files of the folders) named on the command line; CTest replays the
# target's corpus fuzz/corpus/NAME with them.
function(velmora_fuzz_target name library)
  if(VELMORA_FUZZ)
    add_executable(${name} fuzz/${name}.cpp)
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  else()
    add_executable(${name} fuzz/${name}.cpp fuzz/replay_main.cpp)
    add_test(NAME fuzz.${name} COMMAND ${name} ${CMAKE_SOURCE_DIR}/fuzz/corpus/${name})
  endif()
  target_link_libraries(${name} PRIVATE ${library})
endfunction()
velmora_fuzz_target(base64_fuzz velmora_coding)
velmora_fuzz_target(charset_fuzz velmora_coding)
velmora_fuzz_target(eudora_fuzz velmora_app)
velmora_fuzz_target(header_fuzz velmora_coding)
velmora_fuzz_target(index_fuzz velmora_store)
velmora_fuzz_target(jis_fuzz velmora_coding)
velmora_fuzz_target(maildate_fuzz velmora_coding)
velmora_fuzz_target(mime_fuzz velmora_coding)
velmora_fuzz_target(profiles_fuzz velmora_cli)
velmora_fuzz_target(rebuild_fuzz velmora_store)
velmora_fuzz_target(transfer_fuzz velmora_coding)

set(VELMORA_BENCH_BUILT OFF)
if(VELMORA_BENCH)
  find_package(benchmark QUIET)
  if(benchmark_FOUND)
    set(VELMORA_BENCH_BUILT ON)
    function(velmora_bench name library)
      add_executable(${name} bench/${name}.cpp)
      target_link_libraries(${name} PRIVATE ${library} benchmark::benchmark)
      velmora_include_root(${name} bench)
    endfunction()
    velmora_bench(coding_bench velmora_coding)
    velmora_bench(eudora_bench velmora_app)
    velmora_bench(rebuild_bench velmora_store)
    velmora_bench(writers_bench velmora_app)
  else()
    message(WARNING "benchmark (libbenchmark-dev) not found: the benchmarks are not built")
  endif()
endif()

# Every source file of the folders built here is in a target.
set(_velmora_listed
  app/*.cpp cli/*.cpp coding/*.cpp framework/*.cpp framework/posix/*.cpp
  store/*.cpp tools/vmtool/*.cpp writers/*.cpp fuzz/*_fuzz.cpp)
if(NOT VELMORA_FUZZ)
  list(APPEND _velmora_listed fuzz/replay_main.cpp)
  if(VELMORA_TESTS)
    list(APPEND _velmora_listed tests/*.cpp)
  endif()
endif()
if(VELMORA_BENCH_BUILT)
  list(APPEND _velmora_listed bench/*.cpp)
endif()
velmora_check_listed(${_velmora_listed})
