# The conformance suite (tests/conformance): one source, two targets. Natively it runs against the
# simulated Win32 (test conformance_sim); cross-built (tests/conformance/windows.cmake) it runs under
# the end-to-end tests' Wine (test conformance_wine). Included by cmake/native.cmake.
file(GLOB CONFORMANCE_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/conformance/*.cpp)
add_executable(brovink_conformance ${CONFORMANCE_SOURCES})
target_include_directories(brovink_conformance PRIVATE ${CMAKE_SOURCE_DIR}/platform ${CMAKE_SOURCE_DIR}/platform/sim)
target_link_libraries(brovink_conformance PRIVATE brovink_sim)
add_test(NAME conformance_sim COMMAND brovink_conformance)
set_tests_properties(conformance_sim PROPERTIES LABELS conformance TIMEOUT 60)

if(BROVINK_CROSS)
  find_program(CONFORMANCE_BASH bash REQUIRED)
  add_test(NAME conformance_wine
           COMMAND ${CONFORMANCE_BASH} ${CMAKE_SOURCE_DIR}/tests/conformance/run_wine.sh)
  set_tests_properties(conformance_wine PROPERTIES FIXTURES_REQUIRED wine_prefix TIMEOUT 300
                       LABELS "conformance;e2e"
                       ENVIRONMENT "E2E_WIN=${BROVINK_WIN_DIR};E2E_TEMPLATE=${CMAKE_BINARY_DIR}/e2e/template-prefix;E2E_OUT=${CMAKE_BINARY_DIR}/e2e/conformance")
endif()
