# Cross build of the end-to-end tests' automation client: a console program run under the same
# Wine as Brovink.exe. Statically linked like the program, so the prefix needs no mingw DLLs.
file(GLOB E2E_CLIENT_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/client/*.cpp)
add_executable(brovink_client ${E2E_CLIENT_SOURCES})
# The program's event ids (services/event_log.h), for the check of its message table.
target_include_directories(brovink_client PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/platform)
target_link_libraries(brovink_client PRIVATE user32 advapi32)
target_link_options(brovink_client PRIVATE ${WIN_STATIC_LINK})
