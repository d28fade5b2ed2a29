# Native build: system library + simulated Win32 + GoogleTest suite, and the cross build driven as
# an external project for the real program and the Wine end-to-end tests.
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
  ExternalProject_Add(brovink_win
    SOURCE_DIR ${CMAKE_SOURCE_DIR}
    BINARY_DIR ${BROVINK_WIN_DIR}
    CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/mingw-w64-x86_64.cmake
               -DCMAKE_BUILD_TYPE=Release
    BUILD_ALWAYS ON
    INSTALL_COMMAND "")
  include(${CMAKE_SOURCE_DIR}/tests/e2e/e2e.cmake OPTIONAL)
endif()
