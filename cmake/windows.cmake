# Cross build: the real Brovink.exe (GUI subsystem, x86-64, statically linked so that it imports
# only DLLs that are part of Windows) and the Win32 automation client of the end-to-end tests.
enable_language(RC)

# The shipped program is built for size unless the configure names another build type.
if(NOT CMAKE_BUILD_TYPE)
  set(CMAKE_BUILD_TYPE MinSizeRel CACHE STRING "Build type of the cross build" FORCE)
endif()
# Outside a debug build: every function and datum in its own section, unused ones dropped by the
# linker, and no symbols in the program file.
set(WIN_OPTIMIZED $<NOT:$<CONFIG:Debug>>)
add_compile_options($<${WIN_OPTIMIZED}:-ffunction-sections> $<${WIN_OPTIMIZED}:-fdata-sections>)
add_link_options($<${WIN_OPTIMIZED}:LINKER:--gc-sections> $<${WIN_OPTIMIZED}:-s>)

add_library(brovink_system STATIC ${SYSTEM_SOURCES})
target_include_directories(brovink_system PUBLIC ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/platform)
target_link_libraries(brovink_system PUBLIC advapi32 user32 gdi32 comctl32 shell32 ole32)

set(WIN_STATIC_LINK -static -static-libgcc -static-libstdc++)

file(GLOB RESOURCE_SCRIPT CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/*.rc)
add_executable(Brovink WIN32 ${CMAKE_SOURCE_DIR}/app/main.cpp ${CMAKE_SOURCE_DIR}/app/runtime.cpp
               ${RESOURCE_SCRIPT})
target_link_libraries(Brovink PRIVATE brovink_system)
target_link_options(Brovink PRIVATE ${WIN_STATIC_LINK})

# The program catches no exception: a failure inside the C++ library ends it (app/runtime.cpp).
# Outside Debug its code is therefore compiled without exception tables, and optimised as one unit
# at link time.
if(NOT CMAKE_BUILD_TYPE STREQUAL "Debug")
  target_compile_options(brovink_system PUBLIC -fno-exceptions)
  set_property(TARGET brovink_system Brovink PROPERTY INTERPROCEDURAL_OPTIMIZATION ON)
  # mingw-w64's GCC 12 stops with an internal error (binds_to_current_def_p) when the link-time
  # optimisation splits this program into partitions; as one partition it builds.
  target_link_options(Brovink PRIVATE -flto-partition=one)
endif()

include(${CMAKE_SOURCE_DIR}/tests/e2e/client.cmake OPTIONAL)
include(${CMAKE_SOURCE_DIR}/tests/conformance/windows.cmake)
