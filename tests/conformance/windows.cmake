# Cross build of the conformance suite: a console program for Windows (and Wine), statically linked
# like Brovink.exe. Included by cmake/windows.cmake; the native start of the simulated machine
# (boot_sim.cpp) stays out.
file(GLOB CONFORMANCE_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp)
list(FILTER CONFORMANCE_SOURCES EXCLUDE REGEX "/boot_sim\\.cpp$")
add_executable(brovink_conformance ${CONFORMANCE_SOURCES})
target_include_directories(brovink_conformance PRIVATE ${CMAKE_SOURCE_DIR}/platform)
target_link_libraries(brovink_conformance PRIVATE advapi32 user32 comctl32 bcrypt)
target_link_options(brovink_conformance PRIVATE ${WIN_STATIC_LINK})
