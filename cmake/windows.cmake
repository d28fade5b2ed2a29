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
target_link_libraries(brovink_system PUBLIC advapi32 user32 gdi32 comctl32 shell32 ole32 bcrypt)

set(WIN_STATIC_LINK -static -static-libgcc -static-libstdc++)

# The message table of the event ids: cmake/event_messages.cmake writes the message file from the
# ids' one list (services/event_log.h), windmc compiles it, and the resource script includes it.
find_program(BROVINK_WINDMC NAMES x86_64-w64-mingw32-windmc windmc REQUIRED)
set(MESSAGES_DIR ${CMAKE_BINARY_DIR}/messages)
set(MESSAGES_OUT ${MESSAGES_DIR}/brovink_messages.rc ${MESSAGES_DIR}/MSG00407.bin)
add_custom_command(OUTPUT ${MESSAGES_OUT}
  COMMAND ${CMAKE_COMMAND} -DHEADER=${CMAKE_SOURCE_DIR}/services/event_log.h
          -DOUTPUT=${MESSAGES_DIR}/brovink_messages.mc -P ${CMAKE_SOURCE_DIR}/cmake/event_messages.cmake
  COMMAND ${BROVINK_WINDMC} -h ${MESSAGES_DIR} -r ${MESSAGES_DIR} ${MESSAGES_DIR}/brovink_messages.mc
  DEPENDS ${CMAKE_SOURCE_DIR}/services/event_log.h ${CMAKE_SOURCE_DIR}/cmake/event_messages.cmake
  COMMENT "Message table of the event ids"
  VERBATIM)

file(GLOB RESOURCE_SCRIPT CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/*.rc)
set_source_files_properties(${RESOURCE_SCRIPT} PROPERTIES OBJECT_DEPENDS "${MESSAGES_OUT}"
                            INCLUDE_DIRECTORIES ${MESSAGES_DIR})
add_executable(Brovink WIN32 ${CMAKE_SOURCE_DIR}/app/main.cpp ${CMAKE_SOURCE_DIR}/app/runtime.cpp
               ${RESOURCE_SCRIPT})
target_link_libraries(Brovink PRIVATE brovink_system)
target_link_options(Brovink PRIVATE ${WIN_STATIC_LINK})

# Brovink.com: the same program as a console program, beside Brovink.exe (main in
# app/console_main.cpp; mingw-w64's console start-up calls it).
add_executable(BrovinkConsole ${CMAKE_SOURCE_DIR}/app/console_main.cpp ${CMAKE_SOURCE_DIR}/app/main.cpp
               ${CMAKE_SOURCE_DIR}/app/runtime.cpp ${RESOURCE_SCRIPT})
set_target_properties(BrovinkConsole PROPERTIES OUTPUT_NAME Brovink SUFFIX .com)
target_link_libraries(BrovinkConsole PRIVATE brovink_system)
target_link_options(BrovinkConsole PRIVATE ${WIN_STATIC_LINK} -mconsole)

# Brovink.msi beside the two programs, from packaging/brovink.wxs with wixl (Debian's wixl and
# msitools; a build without them, such as one on Windows, makes no package). packaging/build_msi.sh
# makes it, and mends with msibuild what wixl 0.101 cannot write; the package scenario makes its
# package of a higher version with the same script.
find_program(BROVINK_WIXL wixl)
find_program(BROVINK_MSIBUILD msibuild)
find_program(BROVINK_BASH bash)
if(BROVINK_WIXL AND BROVINK_MSIBUILD AND BROVINK_BASH)
  set(MSI ${CMAKE_BINARY_DIR}/Brovink.msi)
  add_custom_command(OUTPUT ${MSI}
    COMMAND ${BROVINK_BASH} ${CMAKE_SOURCE_DIR}/packaging/build_msi.sh ${PROJECT_VERSION} ${CMAKE_BINARY_DIR} ${MSI}
    DEPENDS Brovink BrovinkConsole ${CMAKE_SOURCE_DIR}/packaging/brovink.wxs ${CMAKE_SOURCE_DIR}/packaging/build_msi.sh
            ${CMAKE_SOURCE_DIR}/resources/brovink.ico
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
    COMMENT "Brovink.msi"
    VERBATIM)
  add_custom_target(brovink_msi ALL DEPENDS ${MSI})
else()
  message(STATUS "wixl or msibuild not found: no Brovink.msi")
endif()

# The program catches no exception: a failure inside the C++ library ends it (app/runtime.cpp).
# Outside Debug its code is therefore compiled without exception tables, and optimised as one unit
# at link time.
if(NOT CMAKE_BUILD_TYPE STREQUAL "Debug")
  target_compile_options(brovink_system PUBLIC -fno-exceptions)
  set_property(TARGET brovink_system Brovink BrovinkConsole PROPERTY INTERPROCEDURAL_OPTIMIZATION ON)
  # mingw-w64's GCC 12 stops with an internal error (binds_to_current_def_p) when the link-time
  # optimisation splits this program into partitions; as one partition it builds.
  target_link_options(Brovink PRIVATE -flto-partition=one)
  target_link_options(BrovinkConsole PRIVATE -flto-partition=one)
endif()

include(${CMAKE_SOURCE_DIR}/tests/e2e/client.cmake OPTIONAL)
include(${CMAKE_SOURCE_DIR}/tests/conformance/windows.cmake)
