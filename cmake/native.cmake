# Native build: system library + simulated Win32 + GoogleTest suite, the benchmarks, and, driven as
# external projects, the cross build for the real program and the Wine end-to-end tests, the
# sanitized suite and the fuzz targets.
include(CTest)
find_package(GTest REQUIRED)

option(BROVINK_SANITIZE "Build the native suite with AddressSanitizer and UBSan" OFF)
if(BROVINK_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

file(GLOB SIM_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/platform/sim/*.cpp)
add_library(brovink_sim STATIC ${SIM_SOURCES})
target_include_directories(brovink_sim PUBLIC ${CMAKE_SOURCE_DIR}/platform)

add_library(brovink_system STATIC ${SYSTEM_SOURCES} ${CMAKE_SOURCE_DIR}/app/main.cpp)
target_include_directories(brovink_system PUBLIC ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/platform)
target_link_libraries(brovink_system PUBLIC brovink_sim)

file(GLOB UNIT_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/unit/*.cpp)
add_executable(brovink_tests ${UNIT_TEST_SOURCES})
target_include_directories(brovink_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests ${CMAKE_SOURCE_DIR}/platform/sim)
target_link_libraries(brovink_tests PRIVATE brovink_system GTest::gtest GTest::gtest_main)
include(GoogleTest)
gtest_discover_tests(brovink_tests DISCOVERY_TIMEOUT 60)

option(BROVINK_CROSS "Also build Brovink.exe with mingw-w64 and run the Wine end-to-end tests" ON)
if(BROVINK_CROSS)
  include(ExternalProject)
  set(BROVINK_WIN_DIR ${CMAKE_BINARY_DIR}/win)
  # The program is shipped as built for size; the end-to-end tests run that same form unless the
  # configure asks for another (Debug for a debugger under Wine, say).
  set(BROVINK_WIN_BUILD_TYPE MinSizeRel CACHE STRING "Build type of the cross-built Brovink.exe")
  ExternalProject_Add(brovink_win
    SOURCE_DIR ${CMAKE_SOURCE_DIR}
    BINARY_DIR ${BROVINK_WIN_DIR}
    CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/mingw-w64-x86_64.cmake
               -DCMAKE_BUILD_TYPE=${BROVINK_WIN_BUILD_TYPE}
    BUILD_ALWAYS ON
    INSTALL_COMMAND "")
  include(${CMAKE_SOURCE_DIR}/tests/e2e/e2e.cmake OPTIONAL)
endif()

# The table at the top of docs/architecture.md names only functions that are defined where it says.
add_test(NAME architecture_table COMMAND bash ${CMAKE_SOURCE_DIR}/tests/architecture_table.sh ${CMAKE_SOURCE_DIR})

# The conformance suite, against the simulation and (with the cross build) under Wine.
include(${CMAKE_SOURCE_DIR}/tests/conformance/conformance.cmake)

# The same suite once more with AddressSanitizer and UBSan (<build>/asan), and the libFuzzer targets
# built with clang (<build>/fuzz, tests/fuzz), each run for BROVINK_FUZZ_SECONDS on a copy of its
# corpus: both through this build's CTest, so that one summary line covers everything. They follow
# BROVINK_CROSS unless set, so -DBROVINK_CROSS=OFF still gives the quick native suite alone.
option(BROVINK_CHECKS "Also build and run the sanitized suite and the fuzz targets" ${BROVINK_CROSS})
set(BROVINK_FUZZ_SECONDS 20 CACHE STRING "Seconds that each fuzz target runs in the test pass")
if(BROVINK_CHECKS)
  include(ExternalProject)
  find_program(BROVINK_BASH bash REQUIRED)
  # Sub-builds get no checks, benchmarks or cross build of their own.
  set(BROVINK_SUB_BUILD_ARGS -DBROVINK_CROSS=OFF -DBROVINK_CHECKS=OFF -DBROVINK_BENCH=OFF)

  ExternalProject_Add(brovink_asan
    SOURCE_DIR ${CMAKE_SOURCE_DIR}
    BINARY_DIR ${CMAKE_BINARY_DIR}/asan
    CMAKE_ARGS -DCMAKE_CXX_COMPILER=${CMAKE_CXX_COMPILER} -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE}
               -DBROVINK_SANITIZE=ON ${BROVINK_SUB_BUILD_ARGS}
    BUILD_ALWAYS ON
    INSTALL_COMMAND "")
  # One test for the whole sanitized binary: a sanitizer report ends it with a failure, and LSan
  # checks for leaks when it exits.
  add_test(NAME unit_sanitized COMMAND ${CMAKE_BINARY_DIR}/asan/brovink_tests --gtest_brief=1)
  set_tests_properties(unit_sanitized PROPERTIES LABELS sanitize TIMEOUT 600
                       ENVIRONMENT "ASAN_OPTIONS=detect_leaks=1;UBSAN_OPTIONS=print_stacktrace=1")

  find_program(BROVINK_CLANGXX NAMES clang++ clang++-14 REQUIRED)
  ExternalProject_Add(brovink_fuzz
    SOURCE_DIR ${CMAKE_SOURCE_DIR}/tests/fuzz
    BINARY_DIR ${CMAKE_BINARY_DIR}/fuzz
    CMAKE_ARGS -DCMAKE_CXX_COMPILER=${BROVINK_CLANGXX}
    BUILD_ALWAYS ON
    INSTALL_COMMAND "")
  file(GLOB FUZZ_TARGETS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/fuzz/*_fuzz.cpp)
  foreach(source ${FUZZ_TARGETS})
    get_filename_component(fuzzer ${source} NAME_WE)
    string(REGEX REPLACE "_fuzz$" "" area ${fuzzer})
    add_test(NAME fuzz_${area}
             COMMAND ${BROVINK_BASH} ${CMAKE_SOURCE_DIR}/tests/fuzz/run.sh ${CMAKE_BINARY_DIR}/fuzz/${fuzzer}
                     ${CMAKE_SOURCE_DIR}/tests/fuzz/corpus/${area}
                     ${CMAKE_BINARY_DIR}/fuzz/artifacts/${area} ${BROVINK_FUZZ_SECONDS})
    math(EXPR fuzz_timeout "${BROVINK_FUZZ_SECONDS} + 120")
    set_tests_properties(fuzz_${area} PROPERTIES LABELS fuzz TIMEOUT ${fuzz_timeout})
  endforeach()
endif()

# Benchmarks of the backup and restore runs (bench/): built here so that they keep compiling, run
# only by scripts/bench, never a test.
option(BROVINK_BENCH "Build the benchmarks of the backup and restore runs" ON)
if(BROVINK_BENCH)
  find_package(benchmark REQUIRED)
  add_executable(brovink_bench ${CMAKE_SOURCE_DIR}/bench/run_bench.cpp)
  target_include_directories(brovink_bench PRIVATE ${CMAKE_SOURCE_DIR}/platform/sim)
  target_link_libraries(brovink_bench PRIVATE brovink_system benchmark::benchmark)
endif()

# The hive files against the distribution's own hive parsers (libregf, hivex; scripts/deps installs
# them): the check's verdicts on a table of sound and damaged files, and the simulation's saved
# hives read back. A test of its own, since it runs the parsers as programs.
add_executable(brovink_oracle_tests ${CMAKE_SOURCE_DIR}/tests/oracle/hive_oracle_test.cpp)
target_include_directories(brovink_oracle_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests ${CMAKE_SOURCE_DIR}/platform/sim)
target_link_libraries(brovink_oracle_tests PRIVATE brovink_system GTest::gtest GTest::gtest_main)
add_test(NAME hive_oracle COMMAND brovink_oracle_tests --gtest_brief=1)
set_tests_properties(hive_oracle PROPERTIES LABELS oracle TIMEOUT 300)
